#pragma once

#include "replies/MailFolder.h"
#include "replies/ReplyMatcher.h"
#include "send/UnsubscribeToken.h"

#include <QString>
#include <memory>

class SecretStore;
class TDatabase;
class TSuppressionList;

// What "Process replies..." does without its window: reads a mail folder a
// slice of time at a time, so the window repaints and can be closed between
// slices, and then suppresses what it found in one transaction.
class TReplyProcessing
{
public:
    // The tokens are checked under the store's unsubscribe secret, made now
    // if the store has none. Where the secret store does not answer, no
    // token can be told genuine: the first skipped line says so, and every
    // request and report that carries a token is skipped, never trusted.
    TReplyProcessing(TDatabase &database, SecretStore &secrets, const QString &storeIdentity);
    ~TReplyProcessing();

    // False, with the reason as a skipped line, when the folder cannot be read.
    bool Open(const QString &path);
    // Reads at least one message, then more until the folder ends or
    // sliceMs have passed; false once the folder has ended.
    bool Step(int sliceMs);
    bool Finished() const { return m_finished; }
    const ReplyMatcher::Result &Result() const { return m_result; }

    // Every address found, in one transaction; the number that were not on
    // the list already. Throws EDatabaseError, leaving the list as it was.
    int Suppress(TSuppressionList &list) const;

private:
    // Before the tokens, whose making may add its first line.
    ReplyMatcher::Result m_result;
    UnsubscribeToken m_tokens;
    ReplyMatcher m_matcher;
    std::unique_ptr<MailFolder> m_folder;
    bool m_finished = false;
};
