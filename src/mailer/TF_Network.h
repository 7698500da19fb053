#pragma once

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TDialUp;
class TMailerSession;
struct TMailerSettings;

// The network settings window: the SMTP server, the user's name and address,
// and how the machine connects, read from CORVAN.INI when the window is made
// and written back only by OK, which also has the session read them again.
class TF_Network : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Network(TMailerSession &session, QWidget *parent = nullptr);

    // Fills the controls from the file, with the dialog's own defaults.
    void ReadDialogSettings();
    // Writes every key from the controls; throws EIniFileException at the
    // first key that cannot be written.
    void WriteDialogSettings();
    // Keeps a typed password in the secret store, saying so where no store
    // answers; an empty field leaves the kept password as it is.
    void SavePassword();
    // The modem's own controls are usable exactly while the modem is chosen.
    void rb_ModemClick();
    // Offers the phone-book entries in the device box.
    void FormShow();
    void DialUpEntryGet(const QString &entryName);
    void bu_OkClick();
    void bu_CancelClick();

    QTabWidget *PageControl() const { return m_pages; }
    QLineEdit *ed_Server() const { return m_server; }
    QLineEdit *ed_Port() const { return m_port; }
    QComboBox *co_Security() const { return m_security; }
    QLineEdit *ed_User() const { return m_user; }
    QLineEdit *ed_Password() const { return m_password; }
    QLineEdit *ed_RateCount() const { return m_rateCount; }
    QLineEdit *ed_RateMinutes() const { return m_rateMinutes; }
    QLineEdit *ed_Name() const { return m_name; }
    QLineEdit *ed_EMail() const { return m_email; }
    QLineEdit *ed_UnsubscribeMailto() const { return m_unsubscribeMailto; }
    QLineEdit *ed_UnsubscribeUrl() const { return m_unsubscribeUrl; }
    QRadioButton *rb_Modem() const { return m_modem; }
    QCheckBox *ch_AutoConnect() const { return m_autoConnect; }
    QCheckBox *ch_Disconnect() const { return m_disconnect; }
    QComboBox *co_Device() const { return m_device; }
    QRadioButton *rb_Permanent() const { return m_permanent; }
    QPushButton *bu_Ok() const { return m_ok; }
    QPushButton *bu_Cancel() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createMailPage();
    QHBoxLayout *createLimitRow();
    QWidget *createUnsubscribeBox(QWidget *page);
    TMailerSettings controlSettings() const;
    // Says what is wrong with the unsubscribe settings, with the focus on the
    // field at fault; false when they can be kept.
    bool refusedUnsubscribe(const TMailerSettings &s);
    QWidget *createConnectionPage();
    // The security kind of the file in co_Security; a value that names no
    // kind is kept as an item of its own after the three kinds.
    void showSecurity(const TMailerSettings &s);
    // Says so once the window is shown, when the file's value was kept.
    void warnOfKeptSecurity();
    static constexpr int KeptSecurityItem = 3;

    TMailerSession &m_session;
    TDialUp *m_dialUp;
    bool m_entriesListed = false;
    QTabWidget *m_pages;
    QLineEdit *m_server = nullptr;
    QLineEdit *m_port = nullptr;
    QComboBox *m_security = nullptr;
    QString m_keptSecurity;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_rateCount = nullptr;
    QLineEdit *m_rateMinutes = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_email = nullptr;
    QLineEdit *m_unsubscribeMailto = nullptr;
    QLineEdit *m_unsubscribeUrl = nullptr;
    QRadioButton *m_modem = nullptr;
    QCheckBox *m_autoConnect = nullptr;
    QCheckBox *m_disconnect = nullptr;
    QComboBox *m_device = nullptr;
    QRadioButton *m_permanent = nullptr;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
