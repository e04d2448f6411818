#include "firmwareimage.h"

#include <iterator>
#include <map>
#include <utility>

namespace {

constexpr quint64 flashStart = 0x08000000;
constexpr quint64 bootAlias = 0x00000000;
constexpr quint32 ramStart = 0x10000000;
constexpr quint32 ramEnd = 0x3FFFFFFF;
// Two little-endian words: the stack pointer and the reset handler.
constexpr int vectorTableStart = 8;

QString hex(quint64 value)
{
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

quint32 littleEndianWord(const QByteArray &bytes, int at)
{
    quint32 word = 0;
    for (int i = 3; i >= 0; --i)
        word = (word << 8) | quint8(bytes.at(at + i));
    return word;
}

// The start-up table of an image of `extent` bytes as it lies in flash from
// its start; one linked at the boot alias, where flash also shows, starts
// as well.
ImageCheck checkVectorTable(const QByteArray &table, quint64 extent)
{
    const quint32 stack = littleEndianWord(table, 0);
    const quint32 reset = littleEndianWord(table, 4);
    if (stack < ramStart || stack > ramEnd)
        return { ImageProblem::StackNotInRam,
            QStringLiteral("starts its stack at %1, outside RAM").arg(hex(stack)) };
    if (!(reset & 1))
        return { ImageProblem::ResetNotThumb,
            QStringLiteral("has an even reset address, %1, which no Cortex-M can run")
                    .arg(hex(reset)) };
    const quint64 target = reset & ~quint64(1);
    for (const quint64 base : { flashStart, bootAlias }) {
        if (target >= base && target < base + extent)
            return {};
    }
    return { ImageProblem::ResetOutsideImage,
        QStringLiteral("has its reset address %1 outside the image, which lies from %2 to %3")
                .arg(hex(reset), hex(flashStart), hex(flashStart + extent)) };
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

ImageCheck badHex(int line, const QString &what)
{
    return { ImageProblem::BadHex, QStringLiteral("line %1: %2").arg(line).arg(what) };
}

// Reads the file as the programmer does, then checks the data it places
// lowest, which must be the start of flash.
ImageCheck checkIntelHex(const QByteArray &text)
{
    enum RecordType { Data = 0, EndOfFile = 1, SegmentBase = 2, LinearBase = 4 };
    std::map<quint64, QByteArray> data;
    quint64 base = 0;
    bool ended = false;
    // The programmer takes any run of CR and LF for one line end, so a file
    // whose line ends were converted twice (CR CR LF) reads as it should. A
    // line is named by its number as an editor counts it: CR LF, a CR or an
    // LF each end one, blank lines included.
    int number = 0;
    int lastNumber = 0;
    for (int start = 0; start < text.size();) {
        ++number;
        int end = start;
        while (end < text.size() && text.at(end) != '\r' && text.at(end) != '\n')
            ++end;
        const QByteArray line = text.mid(start, end - start);
        start = end + (text.mid(end, 2) == "\r\n" ? 2 : 1);
        if (line.trimmed().isEmpty())
            continue;
        lastNumber = number;
        if (ended)
            return badHex(number, QStringLiteral("text after the end-of-file record"));
        if (!line.startsWith(':'))
            return badHex(number, QStringLiteral("not a record"));
        if (line.size() % 2 == 0 || line.size() < 11)
            return badHex(number, QStringLiteral("a record of the wrong length"));
        QByteArray record;
        for (int at = 1; at < line.size(); at += 2) {
            const int high = hexDigit(line.at(at));
            const int low = hexDigit(line.at(at + 1));
            if (high < 0 || low < 0)
                return badHex(number, QStringLiteral("a character that is not a hex digit"));
            record.append(char(high * 16 + low));
        }
        const int count = quint8(record.at(0));
        if (record.size() != count + 5)
            return badHex(number, QStringLiteral("a record of the wrong length"));
        quint8 sum = 0;
        for (const char byte : std::as_const(record))
            sum += quint8(byte);
        if (sum != 0)
            return badHex(number, QStringLiteral("a wrong checksum"));
        const quint64 offset = (quint64(quint8(record.at(1))) << 8) | quint8(record.at(2));
        const QByteArray payload = record.mid(4, count);
        const auto value = [&] {
            return (quint64(quint8(payload.at(0))) << 8) | quint8(payload.at(1));
        };
        switch (quint8(record.at(3))) {
        case Data:
            if (count > 0)
                data[base + offset] = payload;
            break;
        case EndOfFile:
            ended = true;
            break;
        case SegmentBase:
        case LinearBase:
            if (count != 2)
                return badHex(number, QStringLiteral("an address record of the wrong length"));
            base = value() << (record.at(3) == LinearBase ? 16 : 4);
            break;
        case 3:
        case 5:
            // Where to start running: the device starts from its table.
            break;
        default:
            return badHex(number, QStringLiteral("an unknown record type"));
        }
    }
    if (!ended)
        return badHex(lastNumber, QStringLiteral("no end-of-file record: it is cut off"));
    if (data.empty())
        return { ImageProblem::Empty, QStringLiteral("holds Intel HEX without data") };

    // Data from 0 goes to the start of flash, as a binary image does.
    const quint64 lowest = data.begin()->first;
    if (lowest != flashStart && lowest != bootAlias)
        return { ImageProblem::HexNotAtFlashStart,
            QStringLiteral("holds Intel HEX whose data starts at %1, not at %2 or %3")
                    .arg(hex(lowest), hex(flashStart), hex(bootAlias)) };
    const auto last = std::prev(data.end());
    const quint64 extent = last->first + quint64(last->second.size()) - lowest;
    // The table as it lies in flash, from records that follow on each other.
    QByteArray table;
    quint64 next = lowest;
    for (auto it = data.begin();
            it != data.end() && it->first == next && table.size() < vectorTableStart; ++it) {
        table += it->second;
        next += quint64(it->second.size());
    }
    if (table.size() < vectorTableStart)
        return { ImageProblem::Truncated,
            QStringLiteral("holds Intel HEX with %1 bytes at %2, less than a start-up table")
                    .arg(table.size())
                    .arg(hex(lowest)) };
    return checkVectorTable(table, extent);
}

} // namespace

ImageCheck checkFirmwareImage(const QByteArray &bytes, qint64 size)
{
    if (size > maximumFirmwareSize)
        return { ImageProblem::TooLarge,
            QStringLiteral("is %1 bytes long, more than any firmware (16 MiB)").arg(size) };
    if (size == 0)
        return { ImageProblem::Empty, QStringLiteral("is empty") };
    if (bytes.startsWith(':'))
        return checkIntelHex(bytes);
    if (size < vectorTableStart)
        return { ImageProblem::Truncated,
            QStringLiteral("is %1 bytes long, shorter than a start-up table").arg(size) };
    return checkVectorTable(bytes, quint64(size));
}

RunCause firmwareImageRefusal(const QString &path, const ImageCheck &check)
{
    RunCause refusal;
    switch (check.problem) {
    case ImageProblem::None:
        return refusal;
    case ImageProblem::Empty:
        refusal.cause = Cause::FileEmpty;
        break;
    case ImageProblem::Truncated:
        refusal.cause = Cause::FileTooShort;
        break;
    case ImageProblem::TooLarge:
        refusal.cause = Cause::FileTooLarge;
        break;
    case ImageProblem::StackNotInRam:
    case ImageProblem::ResetNotThumb:
        refusal.cause = Cause::FileNotFirmware;
        break;
    case ImageProblem::ResetOutsideImage:
    case ImageProblem::HexNotAtFlashStart:
        refusal.cause = Cause::FileForElsewhere;
        break;
    case ImageProblem::BadHex:
        refusal.cause = Cause::FileDamaged;
        break;
    }
    const QString rule = check.problem == ImageProblem::BadHex
            ? QStringLiteral("is not valid Intel HEX: ") + check.detail
            : check.detail;
    refusal.file = path;
    refusal.technical = QStringLiteral("Refusing to run: the firmware file %1 %2").arg(path, rule);
    return refusal;
}
