#include "replies/ReplyProcessing.h"

#include "send/UnsubscribeSecret.h"
#include "store/SuppressionList.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

namespace {

// The store's secret; where there is none to be had, random bytes that
// nobody knows, under which no token is genuine.
QByteArray secretOf(SecretStore &secrets, const QString &storeIdentity, QString &failure)
{
    if (const std::optional<QByteArray> secret = UnsubscribeSecret::obtain(secrets, storeIdentity, failure))
        return *secret;
    QByteArray unknown(UnsubscribeToken::SecretBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(unknown.data()),
                                          UnsubscribeToken::SecretBytes / int(sizeof(quint32)));
    return unknown;
}

} // namespace

TReplyProcessing::TReplyProcessing(TDatabase &database, SecretStore &secrets, const QString &storeIdentity)
    : m_tokens([&] {
          QString failure;
          QByteArray secret = secretOf(secrets, storeIdentity, failure);
          if (!failure.isEmpty())
              m_result.skipped << QStringLiteral("Unsubscribe tokens cannot be checked (%1): every message that "
                                                 "carries one is skipped")
                                      .arg(failure);
          return UnsubscribeToken(std::move(secret));
      }()),
      m_matcher(database, m_tokens)
{
}

TReplyProcessing::~TReplyProcessing() = default;

bool TReplyProcessing::Open(const QString &path)
{
    m_folder = std::make_unique<MailFolder>();
    if (m_folder->open(path))
        return true;
    m_result.skipped << m_folder->error();
    m_folder.reset();
    m_finished = true;
    return false;
}

bool TReplyProcessing::Step(int sliceMs)
{
    if (m_finished || !m_folder)
        return false;
    QElapsedTimer slice;
    slice.start();
    MailMessage message;
    // At least one message a slice, however short, so every slice gets on.
    do {
        if (!m_folder->next(message)) {
            m_matcher.finish(m_result);
            m_folder.reset();
            m_finished = true;
            return false;
        }
        m_matcher.take(message, m_result);
    } while (slice.elapsed() < sliceMs);
    return true;
}

int TReplyProcessing::Suppress(TSuppressionList &list) const
{
    const QString bounce = suppressionReasonText(TSuppressionReason::HardBounce);
    QList<TSuppression> entries;
    for (const ReplyMatcher::Finding &finding : m_result.found)
        entries.append({finding.address,
                        finding.reason == bounce ? TSuppressionReason::HardBounce : TSuppressionReason::Unsubscribed,
                        finding.evidence});
    return list.AddMany(entries);
}
