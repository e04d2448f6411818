#include "dialog.h"
#include "statustexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QtTest>

extern QStringList fakeSerialPorts;

class DialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { fakeSerialPorts.clear(); }

    void windowAfterConstruction();
    void portList_data();
    void portList();
    void workerErrorAndTimeoutChangeNothing();
};

void DialogTest::windowAfterConstruction()
{
    Dialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Solvane Firmware Updater for Kestrix"));

    struct Cell
    {
        QWidget *widget;
        QString text;
        int row, column, columnSpan;
    };
    const Cell cells[] = {
        { dialog.fileLabel, "File:", 0, 0, 1 },
        { dialog.fileLineEdit, "", 0, 1, 1 },
        { dialog.browseButton, "Browse", 0, 2, 1 },
        { dialog.portLabel, "Serial port:", 1, 0, 1 },
        { dialog.portComboBox, "", 1, 1, 1 },
        { dialog.startButton, "Start", 1, 2, 1 },
        { dialog.statusLabel, statusNotRunning, 2, 0, 5 },
        { dialog.gifLabel, "", 3, 0, 5 },
    };
    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(grid);
    QCOMPARE(grid->count(), 8);
    QCOMPARE(grid->columnCount(), 5);
    for (const Cell &cell : cells) {
        QCOMPARE(cell.widget->parent(), &dialog);
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(cell.widget), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, cell.row);
        QCOMPARE(column, cell.column);
        QCOMPARE(rowSpan, 1);
        QCOMPARE(columnSpan, cell.columnSpan);
        QCOMPARE(grid->itemAt(grid->indexOf(cell.widget))->alignment(), Qt::Alignment());
        QString text;
        if (auto *label = qobject_cast<QLabel *>(cell.widget))
            text = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(cell.widget))
            text = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(cell.widget))
            text = edit->text();
        else
            text = dialog.portComboBox->currentText();
        QCOMPARE(text, cell.text);
    }

    QVERIFY(dialog.firmwareFile.isNull());
    QVERIFY(!dialog.portComboBox->isEditable());
    QCOMPARE(dialog.gifMovie->fileName(), QStringLiteral("load.gif"));
    QCOMPARE(dialog.gifMovie->state(), QMovie::NotRunning);
    QVERIFY(!dialog.gifLabel->movie());
    QVERIFY(!dialog.masterThread.isRunning());
}

void DialogTest::portList_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::newRow("no port") << QStringList();
    QTest::newRow("one port") << QStringList { "ttyUSB0" };
    QTest::newRow("several ports, in the order listed")
            << QStringList { "ttyUSB1", "ttyS0", "ttyACM0", "ttyUSB0" };
}

void DialogTest::portList()
{
    QFETCH(QStringList, ports);
    fakeSerialPorts = ports;
    Dialog dialog;
    QStringList shown;
    for (int i = 0; i < dialog.portComboBox->count(); ++i) {
        shown << dialog.portComboBox->itemText(i);
        QVERIFY(dialog.portComboBox->itemIcon(i).isNull());
        QVERIFY(!dialog.portComboBox->itemData(i).isValid());
    }
    QCOMPARE(shown, ports);
    QCOMPARE(dialog.portComboBox->currentIndex(), ports.isEmpty() ? -1 : 0);
    QCOMPARE(dialog.portComboBox->currentText(), ports.value(0));
}

void DialogTest::workerErrorAndTimeoutChangeNothing()
{
    fakeSerialPorts = QStringList { "ttyS0" };
    Dialog dialog;
    dialog.show();
    const QWidgetList before = QApplication::topLevelWidgets();
    emit dialog.masterThread.error(QStringLiteral("error text"));
    emit dialog.masterThread.timeout(QStringLiteral("timeout text"));
    QCoreApplication::processEvents();
    QCOMPARE(dialog.statusLabel->text(), statusNotRunning);
    QCOMPARE(dialog.gifLabel->text(), QString());
    QCOMPARE(QApplication::topLevelWidgets(), before);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(DialogTest)
#include "tst_dialog.moc"
