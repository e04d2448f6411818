#ifndef MASTERTHREAD_H
#define MASTERTHREAD_H

#include <QString>
#include <QThread>

// Carries out one programming run at a time, away from the GUI thread, and
// reports only through its signals.
class MasterThread : public QThread
{
    Q_OBJECT

public:
    explicit MasterThread(QObject *parent = nullptr);
    ~MasterThread() override;

    void transaction(const QString &portName, const QString &firmwareFile);

signals:
    void response(const QString &s);
    void error(const QString &s);
    void timeout(const QString &s);
    void completion();
    void failure();
    void startgif();
    void stopgif();

private:
    void run() override;
};

#endif // MASTERTHREAD_H
