#pragma once

#include "transport/SmtpResult.h"

#include <QString>

// What a failed transaction tells the run beyond the one member: that the
// address does not exist, so it is never mailed again, or that the server
// wants fewer messages now, so the run waits rather than fail everyone after.
//
// An address is taken as gone only on a permanent refusal whose enhanced
// status code (RFC 3463) names a bad destination: 5.1.1 (no such mailbox),
// 5.1.2 (no such domain), 5.1.3 (a mailbox address that cannot be),
// 5.1.6 (moved, no forwarding) and 5.1.10 (the domain takes no mail,
// RFC 7505). The other 5.1 details are left alone: 5.1.0 and 5.1.4 say too
// little, 5.1.7 and 5.1.8 are about our sender address, not the member's.
// The code counts as sent when the server offered ENHANCEDSTATUSCODES;
// from a server that did not, only a 550, 551 or 553 reply that still begins
// its text with such a code is believed, since a plain "550" is as often a
// spam verdict as a missing mailbox. A refusal that names our sender (its
// address, or the word "sender", as in "Sender address rejected") is about
// us, whatever its code says, and drops nobody: the run cannot tell which
// command a reply answered, and a sender refused that way would otherwise
// suppress every member. A full mailbox (4.2.2, 5.2.2) is never a reason to
// drop anybody.
//
// The run pauses at a 421 (the server is closing the session), at 4.7.x
// (throttling, greylisting) and at the quota codes 4.5.3 (too many
// recipients) and 5.4.5 (too much mail from us). A 421 ends the connection,
// so it counts among the connections that failed.
class TRefusal
{
public:
    enum class Kind {
        Member,        // about this member's message only
        NoSuchMailbox, // the address does not exist: suppress it
        Pause,         // the server wants a rest: wait, then the same member
        Closing,       // a 421: the same, on a new connection
    };

    static Kind of(const TSmtpResult &result, const QString &senderAddress);

private:
    // The three-digit code a reply line starts with; 0 for a text that is
    // no reply (the client's own reason).
    static int replyCode(const QString &line);
    static bool namesMissingAddress(const QString &enhancedCode);
    static bool aboutSender(const QString &reply, const QString &senderAddress);
    static bool asksForPause(const QString &enhancedCode);
};
