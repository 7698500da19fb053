#pragma once

#include <QString>

// A name and an address as one mailbox of a From or To header.
namespace Mailbox {

// "Ann Sender <ann@example.org>", in ASCII as it goes on the wire. A name
// that is not plain words is quoted ("Smith, Ann" <...>, with \" and \\ for
// quotes and backslashes); one with letters outside ASCII goes as RFC 2047
// encoded words in charset (UTF-8 where charset cannot hold them), never
// inside quotes. A blank name gives "<ann@example.org>".
QString text(const QString &name, const QString &address, const QString &charset);

// The part after the last "@" of the address; empty when the address has no
// "@" with something on both sides, that is, when it is no address.
QString domain(const QString &address);

} // namespace Mailbox
