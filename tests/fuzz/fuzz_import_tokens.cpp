// The import's tokenizer on any text, read line by line as the import reads
// a file: free text and delimited lines give recipients whose addresses hold
// an at sign and are pieces of the line as written, with no separator (a NUL
// among them) inside; no field of a line without quotes holds its delimiter, no line a line end, and
// no name a NUL. The first byte picks the delimiter and the order of the
// fields.
#include "addressbook/AddressImport.h"
#include "platform/TextFile.h"

#include <QBuffer>
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
    TextFile::Survey survey;
    QBuffer counting;
    counting.setData(bytes);
    check(counting.open(QIODevice::ReadOnly) && TextFile::survey(counting, survey));
    QBuffer reading;
    reading.setData(bytes);
    check(reading.open(QIODevice::ReadOnly));
    TextFile::LineDecoder lines(reading, survey);
    const TImportLayout delimited = TAddressImport::DelimitedLayout(order, delimiter);
    qint64 read = 0;
    for (QString line; lines.next(line); ++read) {
        check(!line.contains(u'\n') && !line.contains(u'\r'));
        for (const QString &token : TAddressImport::AddressTokens(line))
            check(token.contains(u'@') && line.contains(token) && !token.contains(u' ') && !token.contains(u',')
                  && !token.contains(QChar(0)));
        for (int position = 1; position <= 4; ++position) {
            const QString field = TAddressImport::DelimitedField(line, delimiter, position);
            // Quoted fields may hold the delimiter, and "" inside them is one quote.
            if (!line.contains(u'"'))
                check(!field.contains(delimiter) && line.contains(field));
        }
        for (const TImportLayout &layout : {TImportLayout(), delimited}) {
            for (const TImportRecipient &recipient : TAddressImport::Recipients(line, layout))
                check(!recipient.name.contains(QChar(0))
                      && (recipient.email == TAddressImport::UnknownName
                          || (recipient.email.contains(u'@')
                              && (line.contains(u'"') || line.contains(recipient.email)))));
        }
    }
    check(read == survey.lines);
    return 0;
}
