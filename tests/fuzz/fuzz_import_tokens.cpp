// The import's tokenizer on any text: free text and delimited lines give
// recipients whose addresses hold an at sign and are pieces of the line as
// written, and no field holds its delimiter. The first byte picks the
// delimiter and the order of the fields.
#include "addressbook/AddressImport.h"
#include "platform/TextFile.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString delimiter = QString(QChar(data[0] % 2 ? u';' : data[0] % 3 ? u',' : u'\t'));
    const QStringList order = data[0] & 4 ? QStringList{TAddressImport::EmailField, TAddressImport::NameField}
                                          : QStringList{TAddressImport::NameField, "Skip", TAddressImport::EmailField};
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size) - 1);
    const QString text = TextFile::decodeAs(bytes, TextFile::isUtf8(bytes));
    const TImportLayout delimited = TAddressImport::DelimitedLayout(order, delimiter);
    for (const QString &line : TextFile::splitLines(text)) {
        for (const QString &token : TAddressImport::AddressTokens(line))
            check(token.contains(u'@') && line.contains(token) && !token.contains(u' ') && !token.contains(u','));
        for (int position = 1; position <= 4; ++position) {
            const QString field = TAddressImport::DelimitedField(line, delimiter, position);
            check(!field.contains(delimiter) && line.contains(field));
        }
        for (const TImportLayout &layout : {TImportLayout(), delimited}) {
            for (const TImportRecipient &recipient : TAddressImport::Recipients(line, layout))
                check(recipient.email == TAddressImport::UnknownName
                      || (recipient.email.contains(u'@') && line.contains(recipient.email)));
        }
    }
    return 0;
}
