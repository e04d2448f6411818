// Runs one programming run in the real window and measures what the user
// would feel: the longest stall of the GUI thread while the run is going,
// whether the animation kept playing, and the time the run adds around the
// programmer's own running time (which the programmer on PATH records).
// usage: runbench FIRMWARE_FILE TIMESTAMP_DIR
#include "dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::system_clock::now().time_since_epoch())
            .count();
}

qint64 readNs(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

QPushButton *button(Dialog &dialog, const QString &text)
{
    for (QPushButton *candidate : dialog.findChildren<QPushButton *>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: runbench FIRMWARE_FILE TIMESTAMP_DIR\n");
        return 2;
    }
    const QString firmware = QString::fromLocal8Bit(argv[1]);
    const QString stamps = QString::fromLocal8Bit(argv[2]);

    Dialog dialog;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::fprintf(stderr, "runbench: the window was never shown\n");
        return 1;
    }

    qint64 boxNs = 0;
    bool running = false;
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    int frames = 0;

    // Answers the chooser with the firmware file and the result box with OK.
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *chooser = qobject_cast<QFileDialog *>(modal)) {
            auto *name = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(firmware);
            QTest::keyClick(name, Qt::Key_Return);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (!boxNs)
                boxNs = nowNs();
            running = false;
            box->button(QMessageBox::Ok)->click();
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    answerer.start(5);
    button(dialog, QStringLiteral("Browse"))->click();

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (running)
            longestStallMs = qMax(longestStallMs, sinceTick.elapsed());
        sinceTick.restart();
    });
    QMovie *animation = dialog.findChild<QMovie *>();
    if (!animation) {
        std::fprintf(stderr, "runbench: the window has no animation\n");
        return 1;
    }
    QObject::connect(animation, &QMovie::frameChanged, [&] {
        if (running)
            ++frames;
    });
    ticker.start(1);
    sinceTick.start();

    const qint64 startNs = nowNs();
    running = true;
    button(dialog, QStringLiteral("Start"))->click();
    app.exec();

    const qint64 programmerStart = readNs(stamps + QStringLiteral("/start"));
    const qint64 programmerEnd = readNs(stamps + QStringLiteral("/end"));
    std::printf("stall_ms %lld\nframes %d\nprogrammer_ms %.1f\nbefore_ms %.1f\nafter_ms %.1f\n",
            static_cast<long long>(longestStallMs), frames, (programmerEnd - programmerStart) / 1e6,
            (programmerStart - startNs) / 1e6, (boxNs - programmerEnd) / 1e6);
    return 0;
}
