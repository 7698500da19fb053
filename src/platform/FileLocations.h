#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the mailer and the agent find their files. Both programs take them
// from this one rule, so they always agree.
//
// A program folder (the build's dist/, or a copy of it anywhere) keeps the
// files the programs write beside them: CORVAN.INI, DATA/, SIGNATURE/ and MSG/
// beside the mailer, AGENT.RSU beside the agent, which reaches the mailer's
// files one folder up. An installed copy, marked by the file INSTALLED that the
// install rules lay into the mailer's folder, keeps the same layout in the
// user's data folder ($XDG_DATA_HOME/corvane/, by default
// ~/.local/share/corvane/), so that each user of a computer has files of their
// own. Who runs the program plays no part: an installed copy is one for root
// too, although root could write into it.
//
// Every folder is given with a trailing '/'.
class FileLocations
{
public:
    static const QString InstalledMarker;
    // The agent's folder under the mailer's, in the build and in the user's folder.
    static const QString AgentSubfolder;

    // The mailer's view, from the folder of its own program file.
    static FileLocations forMailer(const QString &mailerFolder, const QProcessEnvironment &environment);
    // The agent's view, from the folder of its own program file, which lies
    // one level below the mailer's.
    static FileLocations forAgent(const QString &agentFolder, const QProcessEnvironment &environment);

    bool installed() const { return m_installed; }
    // The mailer's program folder, for the files shipped with it (the store's
    // upgrade scripts); read-only once installed.
    const QString &programFolder() const { return m_programFolder; }
    // The mailer's files: CORVAN.INI, DATA/, SIGNATURE/, MSG/.
    const QString &filesFolder() const { return m_filesFolder; }
    // The agent's own files: AGENT.RSU.
    const QString &agentFilesFolder() const { return m_agentFilesFolder; }

    // Makes the user's folders of an installed copy, readable by that user
    // alone (the address book is personal). A program folder is left as it is.
    bool createFolders(QString *errorText) const;

private:
    FileLocations(const QString &mailerFolder, const QString &agentFolder, const QProcessEnvironment &environment);

    bool m_installed;
    QString m_programFolder;
    QString m_filesFolder;
    QString m_agentFilesFolder;
};
