#include "firmwareimage.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
QByteArray word(quint32 value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char((value >> (8 * i)) & 0xff);
    return bytes;
}

// A start-up table, then erased flash up to the size.
QByteArray image(quint32 stack, quint32 reset, int size)
{
    return (word(stack) + word(reset)).leftJustified(size, char(0xff));
}

QByteArray hexRecord(int type, quint16 address, const QByteArray &data)
{
    QByteArray record;
    record += char(data.size());
    record += char(address >> 8);
    record += char(address & 0xff);
    record += char(type);
    record += data;
    quint8 sum = 0;
    for (const char byte : std::as_const(record))
        sum += quint8(byte);
    record += char(quint8(-sum));
    return ':' + record.toHex().toUpper() + "\r\n";
}

// The bytes as Intel HEX placed from an address, sixteen to a record.
QByteArray intelHex(quint32 address, const QByteArray &bytes)
{
    // The upper half of the address, big-endian, in a record of its own.
    QByteArray text =
            hexRecord(4, 0, QByteArray().append(char(address >> 24)).append(char(address >> 16)));
    for (int at = 0; at < bytes.size(); at += 16)
        text += hexRecord(0, quint16((address & 0xffff) + at), bytes.mid(at, 16));
    return text + hexRecord(1, 0, QByteArray());
}
} // namespace

Q_DECLARE_METATYPE(ImageProblem)

class FirmwareImageTest : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
};

void FirmwareImageTest::check_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // The file's size where it is not that of the bytes.
    QTest::addColumn<qint64>("size");
    QTest::addColumn<ImageProblem>("problem");
    // For damaged HEX, the line named, as an editor counts the file's lines.
    QTest::addColumn<int>("line");

    const QByteArray good = firmwareImage();
    QTest::newRow("the sample image") << good << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("linked at the boot alias")
            << image(0x20005000, 0x000000c1, 3000) << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("stack at the start of RAM")
            << image(0x10000000, 0x08000101, 512) << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("reset in the image's last bytes")
            << image(0x20005000, 0x080001ff, 512) << qint64(-1) << ImageProblem::None << 0;

    QTest::newRow("empty") << QByteArray() << qint64(-1) << ImageProblem::Empty << 0;
    QTest::newRow("4 bytes") << word(0x20005000) << qint64(-1) << ImageProblem::Truncated << 0;
    QTest::newRow("7 bytes") << good.left(7) << qint64(-1) << ImageProblem::Truncated << 0;
    QTest::newRow("17 MiB, never read")
            << QByteArray() << qint64(17) * 1024 * 1024 << ImageProblem::TooLarge << 0;

    QTest::newRow("a text file") << QByteArray("Kestrix firmware release notes\n").repeated(100)
                                 << qint64(-1) << ImageProblem::StackNotInRam << 0;
    QTest::newRow("a zip archive")
            << QByteArray("PK\x03\x04\x14\x00\x00\x00\x08\x00", 10).leftJustified(600, 'x')
            << qint64(-1) << ImageProblem::StackNotInRam << 0;
    QRandomGenerator random(20261208);
    QByteArray noise(4096, 0);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise << qint64(-1) << ImageProblem::StackNotInRam << 0;
    QTest::newRow("stack in flash")
            << image(0x08002000, 0x08000101, 512) << qint64(-1) << ImageProblem::StackNotInRam << 0;
    QTest::newRow("stack just past RAM")
            << image(0x40000000, 0x08000101, 512) << qint64(-1) << ImageProblem::StackNotInRam << 0;
    QTest::newRow("even reset address")
            << image(0x20005000, 0x08000100, 512) << qint64(-1) << ImageProblem::ResetNotThumb << 0;
    QTest::newRow("reset just past the image") << image(0x20005000, 0x08000201, 512) << qint64(-1)
                                               << ImageProblem::ResetOutsideImage << 0;
    QTest::newRow("linked at 0x08008000, behind a boot loader")
            << image(0x20005000, 0x08008101, 3000) << qint64(-1) << ImageProblem::ResetOutsideImage
            << 0;

    const QByteArray hex = intelHex(0x08000000, good);
    QTest::newRow("HEX") << hex << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("HEX with line feeds alone")
            << QByteArray(hex).replace("\r\n", "\n") << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("HEX with CR CR LF, converted twice")
            << QByteArray(hex).replace("\r\n", "\r\r\n") << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("HEX with CR alone")
            << QByteArray(hex).replace("\r\n", "\r") << qint64(-1) << ImageProblem::None << 0;
    // As a toolchain writes firmware linked at 0: no address record, and
    // where to start in a start-segment record.
    QTest::newRow("HEX from 0, with a start-segment record")
            << QByteArray(intelHex(0, image(0x20005000, 0x000000c1, 256)))
                       .replace(hexRecord(4, 0, QByteArray(2, '\0')),
                               hexRecord(3, 0, QByteArray::fromHex("000000c1")))
            << qint64(-1) << ImageProblem::None << 0;
    QTest::newRow("HEX with a wrong checksum") << QByteArray(hex).replace(":10000000", ":10000001")
                                               << qint64(-1) << ImageProblem::BadHex << 2;
    QTest::newRow("HEX damaged on line 3, after a blank line 2")
            << QByteArray(hex).replace("\r\n:10000000", "\r\n\r\n:10000001") << qint64(-1)
            << ImageProblem::BadHex << 3;
    QTest::newRow("HEX with CR CR LF, damaged on line 3")
            << QByteArray(hex).replace("\r\n", "\r\r\n").replace(":10000000", ":10000001")
            << qint64(-1) << ImageProblem::BadHex << 3;
    QTest::newRow("HEX with a character that is no hex digit")
            << QByteArray(hex).replace("FEE7", "FEG7") << qint64(-1) << ImageProblem::BadHex << 0;
    QTest::newRow("HEX cut off before its end")
            << hex.left(hex.size() / 2) << qint64(-1) << ImageProblem::BadHex << 0;
    QTest::newRow("HEX whose data starts at 0x08008000")
            << intelHex(0x08008000, image(0x20005000, 0x08008101, 256)) << qint64(-1)
            << ImageProblem::HexNotAtFlashStart << 0;
    QTest::newRow("HEX whose data starts at 0x00008000")
            << intelHex(0x00008000, image(0x20005000, 0x00008101, 256)) << qint64(-1)
            << ImageProblem::HexNotAtFlashStart << 0;
    QTest::newRow("HEX with no data")
            << hexRecord(1, 0, QByteArray()) << qint64(-1) << ImageProblem::Empty << 0;
    QTest::newRow("HEX of a text file") << intelHex(0x08000000, "Kestrix firmware release notes\n")
                                        << qint64(-1) << ImageProblem::StackNotInRam << 0;
}

void FirmwareImageTest::check()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, size);
    QFETCH(ImageProblem, problem);
    QFETCH(int, line);

    const ImageCheck check = checkFirmwareImage(bytes, size < 0 ? bytes.size() : size);
    QCOMPARE(int(check.problem), int(problem));
    if (line > 0)
        QVERIFY2(check.detail.startsWith(QStringLiteral("line %1: ").arg(line)),
                qPrintable(check.detail));

    const QString path = QStringLiteral("/home/ana/fw.bin");
    const RunCause refusal = firmwareImageRefusal(path, check);
    QCOMPARE(refusal.isNull(), problem == ImageProblem::None);
    if (!refusal.isNull()) {
        // One line names the file and the rule, for the log and the details.
        QVERIFY2(refusal.technical.startsWith("Refusing to run: the firmware file " + path + ' '),
                qPrintable(refusal.technical));
        QVERIFY(refusal.technical.contains(check.detail));
        QVERIFY(!refusal.technical.contains('\n'));
        QCOMPARE(refusal.file, path);
    }
}

KESTRIX_TEST_APPLESS_MAIN(FirmwareImageTest)
#include "tst_firmwareimage.moc"
