#include "announcement_p.h"
#include "dialog.h"
#include "shellsettings.h"
#include "statustexts.h"
#include "testsupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTextEdit>
#include <QtTest>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

extern QStringList fakeSerialPorts;
extern QString transactionPortName;
extern QString transactionFirmwareFile;

namespace {
// Answers every modal widget that opens while it exists, the way a user
// would: the handler looks at it and closes it.
class ModalAnswerer : public QObject
{
public:
    explicit ModalAnswerer(std::function<void(QWidget *)> handler)
        : m_handler(std::move(handler))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++answered;
                m_handler(modal);
            }
        });
        m_timer.start(20);
    }
    int answered = 0;

private:
    std::function<void(QWidget *)> m_handler;
    QTimer m_timer;
};

void clickOk(QWidget *modal)
{
    auto *box = qobject_cast<QMessageBox *>(modal);
    QVERIFY(box);
    box->button(QMessageBox::Ok)->click();
}
} // namespace

class DialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        usePorts({});
        useShortShellTimeouts();
    }

    void windowAfterConstruction();
    void portList_data();
    void portList();
    void workerErrorAndTimeoutChangeNothing();
    void showResponseReplacesTheWholeText();
    void animation();
    void heardAsSeen();
    void accessibleControls();
    void tabOrder();
    void messageBox_data();
    void messageBox();
    void browseChoosesAndCancelEmpties();
    void fileFieldShowsWhatStartHandsOver();
    void failureBoxDetail_data();
    void failureBoxDetail();
    void startWithoutFileOnlyAsksForOne();
    void wholeRunInOrder_data();
    void wholeRunInOrder();
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

void DialogTest::showResponseReplacesTheWholeText()
{
    Dialog dialog;
    dialog.showResponse(QStringLiteral("x"));
    QCOMPARE(dialog.statusLabel->text(), QStringLiteral("x"));
    dialog.showResponse(statusProgrammingFailed);
    QCOMPARE(dialog.statusLabel->text(), statusProgrammingFailed);
}

void DialogTest::animation()
{
    Dialog dialog;
    dialog.stopGif();
    QCOMPARE(dialog.gifLabel->text(), QStringLiteral("   "));

    // Three spaces, when idle: nothing to say.
    QAccessibleInterface *animation = QAccessible::queryAccessibleInterface(dialog.gifLabel);
    QVERIFY(animation);
    QVERIFY(animation->text(QAccessible::Name).trimmed().isEmpty());

    dialog.startGif();
    QCOMPARE(dialog.gifLabel->movie(), dialog.gifMovie);
    QVERIFY(dialog.gifMovie->isValid());
    QCOMPARE(dialog.gifMovie->state(), QMovie::Running);
    // Said, not only shown, while a run is in progress.
    QCOMPARE(animation->role(), QAccessible::Animation);
    QCOMPARE(animation->text(QAccessible::Name), QStringLiteral("Programming in progress"));

    dialog.stopGif();
    QCOMPARE(dialog.gifMovie->state(), QMovie::NotRunning);
    QVERIFY(!dialog.gifLabel->movie());
    QCOMPARE(dialog.gifLabel->text(), QStringLiteral("   "));
    QVERIFY(animation->text(QAccessible::Name).trimmed().isEmpty());
}

namespace {
// What screen readers are given to say of Qt's accessibility events, as the
// platform's accessibility hands them on, whatever has the focus: each
// sentence, however many come in one piece of news.
QStringList heard;
// The notifications news came in, by the id that names each on the bus.
QList<QAccessible::Id> notificationIds;
void hearNews(const QString &news)
{
    for (QString sentence : news.split(QStringLiteral(". "))) {
        if (sentence.endsWith(QLatin1Char('.')))
            sentence.chop(1);
        heard << sentence;
    }
}
void hear(QAccessibleEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement) {
        hearNews(static_cast<QAccessibleAnnouncementEvent *>(event)->message());
        return;
    }
#endif
    const QVariant value = event->type() == QAccessible::ValueChanged
            ? static_cast<QAccessibleValueChangeEvent *>(event)->value()
            : QVariant();
#ifdef Q_OS_WIN
    // UI Automation: Qt makes a notification of a value given as text.
    if (value.userType() == QMetaType::QString)
        hearNews(value.toString());
#else
    // AT-SPI: screen readers read a notification as it shows up, and, from
    // Qt 6.5, a combo box's new item from its selection.
    if (event->type() == QAccessible::ObjectShow) {
        QAccessibleInterface *shown = event->accessibleInterface();
        if (shown && shown->role() == QAccessible::Notification) {
            hearNews(shown->text(QAccessible::Name));
            notificationIds << QAccessible::uniqueId(shown);
        }
    }
    if (QT_VERSION >= QT_VERSION_CHECK(6, 5, 0) && value.isValid()
            && event->accessibleInterface()->role() == QAccessible::ComboBox)
        hearNews(value.toString());
#endif
}
} // namespace

void DialogTest::heardAsSeen()
{
    // Qt tells of changes only while assistive technology listens, which
    // the offscreen platform never has.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("Qt's accessibility needs a real platform: run on a display as a11y_heard-as-seen");
    FakeProgrammer fake;
    fake.setOutput("Done.\n");
    fake.setSleepMs(300);
    fakeSerialPorts = QStringList { "ttyS0", "ttyUSB0" };
    Dialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
#ifdef Q_OS_WIN
    // What a UI Automation client asks a window first, from which on Qt's
    // accessibility is on.
    const LPARAM uiaRootObjectId = -25;
    SendMessageW(reinterpret_cast<HWND>(dialog.winId()), WM_GETOBJECT, 0, uiaRootObjectId);
#endif
    // Through AT-SPI, once Qt has joined the accessibility bus.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 60000);
    QAccessible::installUpdateHandler(hear);
    const auto restore = qScopeGuard([] { QAccessible::installUpdateHandler(nullptr); });
    ModalAnswerer answerer(clickOk);

    // The headline of each status once, never the procedure under it.
    heard.clear();
    dialog.startButton->click();
    QTRY_COMPARE(
            heard, QStringList { QStringLiteral("Status: Please select the update file first!") });

    QTemporaryDir folder;
    dialog.firmwareFile = folder.filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(dialog.firmwareFile));
    heard.clear();
    dialog.startButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.answered, 1, 30000);
    QTRY_COMPARE(heard,
            QStringList({ QStringLiteral("Status: Programming started"),
                    QStringLiteral("Programming in progress"),
                    statusHeadline(statusProgrammingSuccessful) }));

    // News just after a list has gone, as the file chooser's lists go, is
    // never named as the list was: a screen reader may hold the list's role
    // for that name still.
    QAccessible::Id goneList = 0;
    {
        QListWidget list;
        goneList = QAccessible::uniqueId(QAccessible::queryAccessibleInterface(&list));
    }
    heard.clear();
    sayNews(&dialog, QStringLiteral("Programming in progress"));
    QCOMPARE(heard, QStringList { QStringLiteral("Programming in progress") });
    QVERIFY(!notificationIds.contains(goneList));

    // A port chosen with the arrow keys, said once; and the chosen one said
    // with the list's caption where the platform does not offer it.
    heard.clear();
    dialog.portComboBox->setFocus();
    QTest::keyClick(dialog.portComboBox, Qt::Key_Down);
    QTRY_COMPARE(heard, QStringList { QStringLiteral("ttyUSB0") });
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(dialog.portComboBox);
#if defined(Q_OS_WIN) || QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    QCOMPARE(list->text(QAccessible::Description), QString());
#else
    QCOMPARE(list->text(QAccessible::Description), QStringLiteral("ttyUSB0"));
    dialog.portComboBox->setCurrentIndex(0);
    QCOMPARE(list->text(QAccessible::Description), QStringLiteral("ttyS0"));
#endif
}

void DialogTest::accessibleControls()
{
    fakeSerialPorts = QStringList { "ttyS0", "ttyUSB0" };
    Dialog dialog;
    dialog.show();
    dialog.firmwareFile = QStringLiteral("/home/ana/fw.bin");
    dialog.fileLineEdit->setText(dialog.firmwareFile);

    struct Control
    {
        QWidget *widget;
        QAccessible::Role role;
        QString name;
        QString value;
        // The caption assistive technology reads for it.
        QLabel *label;
    };
#ifdef Q_OS_WIN
    // UI Automation names a combo box after its caption.
    const QString portName = QStringLiteral("Serial port:");
#else
    // AT-SPI names it after its item, and finds the caption by relation.
    const QString portName = QStringLiteral("ttyS0");
#endif
    const Control controls[] = {
        { dialog.fileLineEdit, QAccessible::EditableText, "File:", "/home/ana/fw.bin",
                dialog.fileLabel },
        { dialog.browseButton, QAccessible::Button, "Browse", "", nullptr },
        { dialog.portComboBox, QAccessible::ComboBox, portName, "ttyS0", dialog.portLabel },
        { dialog.startButton, QAccessible::Button, "Start", "", nullptr },
        { dialog.statusLabel, QAccessible::StaticText, statusNotRunning, "", nullptr },
    };
    for (const Control &control : controls) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control.widget);
        QVERIFY(iface);
        QCOMPARE(iface->role(), control.role);
        QCOMPARE(iface->text(QAccessible::Name), control.name);
        QCOMPARE(iface->text(QAccessible::Value), control.value);
        const auto labels = iface->relations(QAccessible::Label);
        QCOMPARE(labels.size(), control.label ? 1 : 0);
        if (control.label) {
            QCOMPARE(labels.first().first->object(), control.label);
            QCOMPARE(labels.first().first->text(QAccessible::Name), control.label->text());
            // And the other way round: the caption says what it labels.
            const auto labelled = labels.first().first->relations(QAccessible::Labelled);
            QCOMPARE(labelled.size(), 1);
            QCOMPARE(labelled.first().first->object(), control.widget);
        }
    }
}

void DialogTest::tabOrder()
{
    fakeSerialPorts = QStringList { "ttyS0" };
    Dialog dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // From the field the procedure starts with, in the order it is used.
    QList<QWidget *> order { QApplication::focusWidget() };
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
    }
    QCOMPARE(order,
            QList<QWidget *>({ dialog.fileLineEdit, dialog.browseButton, dialog.portComboBox,
                    dialog.startButton, dialog.fileLineEdit }));
}

void DialogTest::messageBox_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("style");
    // Each style paints a box its own way; Windows' own paints panels.
    for (const QString &style : QStyleFactory::keys()) {
        QTest::addRow("success, %s", qPrintable(style)) << true << style;
        QTest::addRow("failure, %s", qPrintable(style)) << false << style;
    }
}

void DialogTest::messageBox()
{
    QFETCH(bool, success);
    QFETCH(QString, style);
    const QString oldStyle = QApplication::style()->objectName();
    QApplication::setStyle(style);
    const auto restoreStyle = qScopeGuard([&] { QApplication::setStyle(oldStyle); });
    Dialog dialog;
    dialog.show();
    const QPalette dialogPalette = dialog.palette();

    QString text;
    QString name;
    QPalette boxPalette;
    QColor background;
    QMessageBox::StandardButtons buttons;
    ModalAnswerer answerer([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        name = box->accessibleName();
        boxPalette = box->palette();
        // What the style really paints, away from text and buttons: the
        // Windows style paints its own panels over the palette.
        background = box->grab().toImage().pixelColor(2, box->height() - 3);
        buttons = box->standardButtons();
        QVERIFY(!box->parent());
        clickOk(box);
    });
    if (success)
        dialog.showMessageBox();
    else
        dialog.showFailMessageBox();

    QCOMPARE(answerer.answered, 1);
    QCOMPARE(buttons, QMessageBox::Ok);
    QCOMPARE(dialog.palette(), dialogPalette);
    // Its text, plain, for screen readers that read a box by its name.
#ifdef Q_OS_WIN
    QCOMPARE(name, QString());
#else
    QCOMPARE(name,
            success ? QStringLiteral("Programming SUCCESSFUL")
                    : QStringLiteral("Programming FAILED!!!"));
#endif
    if (success) {
        QCOMPARE(text, QStringLiteral("<FONT COLOR='#008000'>Programming SUCCESSFUL"));
        for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
            QCOMPARE(boxPalette.brush(group, QPalette::Window), QBrush(Qt::green));
        QCOMPARE(background, QColor(Qt::green));
    } else {
        QCOMPARE(text, QStringLiteral("<FONT COLOR='#DC143C'>Programming FAILED!!!</FONT>"));
        QCOMPARE(boxPalette.color(QPalette::Window),
                QApplication::palette().color(QPalette::Window));
        QVERIFY(background != QColor(Qt::green));
    }
    QTRY_COMPARE(QApplication::topLevelWidgets().size(), 1);
}

void DialogTest::browseChoosesAndCancelEmpties()
{
    QTemporaryDir folder;
    QFile image(folder.filePath(QStringLiteral("new fw.bin")));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write("firmware");
    image.close();
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(folder.path());

    LogCapture log;
    Dialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QStringList captions;
    bool choose = true;
    ModalAnswerer answerer([&](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        QVERIFY(chooser);
        captions << chooser->windowTitle() << chooser->nameFilters();
        QCOMPARE(chooser->directory().absolutePath(), QDir::currentPath());
        if (choose) {
            // The chooser's own name field, as a user types into it.
            auto *nameEdit = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(nameEdit);
            nameEdit->setText(QStringLiteral("new fw.bin"));
            QTest::keyClick(nameEdit, Qt::Key_Return);
        } else {
            // Cancelled with the list of completions still open: the window
            // system hands the keyboard back before the list has gone, and
            // Qt 5 then leaves no window active.
            (new QFrame(chooser, Qt::Popup))->show();
            dialog.windowHandle()->requestActivate();
            QTRY_COMPARE(QGuiApplication::focusWindow(), dialog.windowHandle());
            chooser->reject();
        }
    });

    QTest::mouseClick(dialog.browseButton, Qt::LeftButton);
    const QString chosen = QDir(folder.path()).absoluteFilePath(QStringLiteral("new fw.bin"));
    QCOMPARE(dialog.fileLineEdit->text(), chosen);
    QCOMPARE(dialog.firmwareFile, chosen);

    choose = false;
    QTest::mouseClick(dialog.browseButton, Qt::LeftButton);
    QCOMPARE(dialog.fileLineEdit->text(), QString());
    QVERIFY(dialog.firmwareFile.isEmpty());
    QVERIFY(dialog.isActiveWindow());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.portComboBox);

    QDir::setCurrent(oldDir);
    QCOMPARE(answerer.answered, 2);
    QCOMPARE(captions,
            QStringList({ "Select Firmware File", "Firmware Files (*.bin)", "Select Firmware File",
                    "Firmware Files (*.bin)" }));
    const QString pathLine = QStringLiteral("Current Path/Dir ") + folder.path();
    QCOMPARE(log.messages().count(pathLine), 2);
}

void DialogTest::fileFieldShowsWhatStartHandsOver()
{
    FakeProgrammer fake;
    useShortShellTimeouts();
    usePorts({ "ttyS0" });
    Dialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTemporaryDir folder;
    dialog.firmwareFile = folder.filePath(QStringLiteral("chosen/fw-1.0.bin"));
    QVERIFY(writeFile(dialog.firmwareFile));
    dialog.fileLineEdit->setText(dialog.firmwareFile);

    // Typed and pasted, as a user would try to name another file.
    QApplication::clipboard()->setText(QStringLiteral("/pasted/fw-1.1.bin"));
    dialog.fileLineEdit->setFocus();
    QTest::keyClick(dialog.fileLineEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(dialog.fileLineEdit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(dialog.fileLineEdit, QStringLiteral("/typed.bin"));
    QTest::keyClick(dialog.fileLineEdit, Qt::Key_Backspace);
    QCOMPARE(dialog.fileLineEdit->text(), dialog.firmwareFile);

    ModalAnswerer answerer(clickOk);
    QTest::mouseClick(dialog.startButton, Qt::LeftButton);
    QVERIFY(dialog.masterThread.wait(10000));
    QTRY_COMPARE(answerer.answered, 1);
    QCOMPARE(transactionFirmwareFile, dialog.fileLineEdit->text());
    QCOMPARE(transactionPortName, QStringLiteral("ttyS0"));
    QCOMPARE(fake.calls().value(0).value(5), dialog.fileLineEdit->text().toUtf8());
}

void DialogTest::failureBoxDetail_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("shell");
    QTest::addColumn<QString>("advice");
    // What "Show Details..." shows: why the run was refused, or what the
    // programmer printed.
    QTest::addColumn<QString>("details");

    const QByteArray image = firmwareImage();
    const QString refusedPath = QStringLiteral("Refusing to run: the firmware file path holds a "
                                               "character cmd.exe would interpret");
    QTest::newRow("refused: percent sign in the file name")
            << "fw-100%.bin" << image << int(ShellKind::Cmd)
            << QStringLiteral("The firmware file's name has \u201c%\u201d in it") << refusedPath;
    QTest::newRow("refused: double quote in a folder's name")
            << "a\"b/fw.bin" << image << int(ShellKind::Cmd)
            << QStringLiteral("A folder holding the firmware file has \u201c\"\u201d in its name")
            << refusedPath;
    QTest::newRow("refused: an empty file")
            << "fw.bin" << QByteArray() << int(nativeShellKind()) << "The chosen file is empty."
            << "Refusing to run: the firmware file ";
    QTest::newRow("refused: no port")
            << "fw.bin" << image << int(nativeShellKind()) << "No serial port was found"
            << "Refusing to run: no serial port was found when the updater started";
    QTest::newRow("the programmer printed no Done.")
            << "fw.bin" << image << int(nativeShellKind())
            << "The programmer did not report success."
            << "Output:\nError: no answer from the device\n\nError output:\nFailed to init device";
}

void DialogTest::failureBoxDetail()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, shell);
    QFETCH(QString, advice);
    QFETCH(QString, details);
    FakeProgrammer fake;
    fake.setOutput("Error: no answer from the device\n");
    fake.setErrorOutput("Failed to init device\n");
    if (!advice.startsWith(QLatin1String("No serial port")))
        usePorts({ "ttyS0" });
    useShortShellTimeouts();
    ShellSettings settings = ShellSettings::current();
    settings.kind = ShellKind(shell);
    ShellSettings::setCurrent(settings);

    Dialog dialog;
    dialog.show();
    QTemporaryDir folder;
    dialog.firmwareFile = folder.filePath(file);
    // Windows allows no double quote in a name; the name alone is refused.
    writeFile(dialog.firmwareFile, bytes);
    QString text;
    QString informative;
    QString detailed;
    bool lastLinesInView = false;
    ModalAnswerer answerer([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        informative = box->informativeText();
        detailed = box->detailedText();
        if (auto *details = box->findChild<QTextEdit *>())
            lastLinesInView = details->textCursor().atEnd();
        clickOk(box);
    });
    QTest::mouseClick(dialog.startButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.answered, 1, 10000);

    QCOMPARE(text, QStringLiteral("<FONT COLOR='#DC143C'>Programming FAILED!!!</FONT>"));
    QCOMPARE(dialog.statusLabel->text(), statusProgrammingFailed);
    QVERIFY2(informative.startsWith(advice), qPrintable(informative));
    QVERIFY2(detailed.startsWith(details), qPrintable(detailed));
    QVERIFY(lastLinesInView);
    // A refused run never reached the programmer, and so not the device.
    const bool refused = details.startsWith(QLatin1String("Refusing to run"));
    QCOMPARE(fake.calls().size(), refused ? 0 : 1);
    QCOMPARE(informative.endsWith(QStringLiteral("The device was not changed.")), refused);
}

void DialogTest::startWithoutFileOnlyAsksForOne()
{
    FakeProgrammer fake;
    fakeSerialPorts = QStringList { "ttyS0" };
    Dialog dialog;
    dialog.show();
    ModalAnswerer answerer(clickOk);
    QTest::mouseClick(dialog.startButton, Qt::LeftButton);
    QVERIFY(dialog.masterThread.wait(5000));
    QTRY_COMPARE(dialog.statusLabel->text(), statusSelectFileFirst);
    // The run has ended: a box it asked for would open, and be answered,
    // as what it sent is delivered.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(answerer.answered, 0);
    QCOMPARE(dialog.gifLabel->text(), QString());
    QVERIFY(!dialog.gifLabel->movie());
    QVERIFY(fake.calls().isEmpty());
}

void DialogTest::wholeRunInOrder_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("seen");
    QTest::newRow("success") << QByteArray("Done.\n")
                             << QStringList { "response:started", "animation running",
                                    "three spaces", "response:successful",
                                    "box <FONT COLOR='#008000'>Programming SUCCESSFUL: fw.bin "
                                    "was written to the Kestrix on ttyUSB0" };
    QTest::newRow("failure") << QByteArray("Error\n")
                             << QStringList { "response:started", "animation running",
                                    "three spaces", "response:failed",
                                    "box <FONT COLOR='#DC143C'>Programming FAILED!!!</FONT>: The "
                                    "programmer did not report success" };
}

void DialogTest::wholeRunInOrder()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, seen);
    FakeProgrammer fake;
    fake.setOutput(output);
    fake.setSleepMs(300);
    useShortShellTimeouts();
    fakeSerialPorts = QStringList { "ttyUSB0" };

    Dialog dialog;
    dialog.show();
    QTemporaryDir folder;
    dialog.firmwareFile = folder.filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(dialog.firmwareFile));

    // Connected after the dialog's own connections, so each of these runs
    // just after the dialog's slot for the same signal and sees its result.
    QStringList events;
    MasterThread &worker = dialog.masterThread;
    connect(&worker, &MasterThread::response, this,
            [&] { events << statusEvent(dialog.statusLabel->text()); });
    connect(&worker, &MasterThread::startgif, this, [&] {
        if (dialog.gifLabel->movie() == dialog.gifMovie
                && dialog.gifMovie->state() == QMovie::Running)
            events << QStringLiteral("animation running");
        // Another file chosen while this one is written: the box names the
        // one written.
        dialog.firmwareFile = folder.filePath(QStringLiteral("fw-next.bin"));
        dialog.fileLineEdit->setText(dialog.firmwareFile);
    });
    connect(&worker, &MasterThread::stopgif, this, [&] {
        if (!dialog.gifLabel->movie() && dialog.gifLabel->text() == QLatin1String("   "))
            events << QStringLiteral("three spaces");
    });
    ModalAnswerer answerer([&](QWidget *modal) {
        const auto *box = qobject_cast<QMessageBox *>(modal);
        events << QStringLiteral("box %1: %2")
                          .arg(box->text(),
                                  box->informativeText().section(QStringLiteral(". "), 0, 0));
        clickOk(modal);
    });

    QTest::mouseClick(dialog.startButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(events, seen, 10000);
}

KESTRIX_TEST_MAIN(DialogTest, QApplication)
#include "tst_dialog.moc"
