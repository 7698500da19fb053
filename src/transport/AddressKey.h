#pragma once

#include <QString>

// The form in which two addresses count as the same when a group must not
// get one twice: the domain, after the last at sign, without regard to case,
// as every mail server treats it; the local part as typed, since a server may
// tell "Bob" from "bob" there.
QString addressKey(const QString &email);
