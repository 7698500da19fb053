#include "transport/AddressKey.h"

QString addressKey(const QString &email)
{
    const qsizetype at = email.lastIndexOf(u'@');
    return at < 0 ? email : email.left(at + 1) + email.mid(at + 1).toLower();
}
