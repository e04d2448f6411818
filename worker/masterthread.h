#ifndef MASTERTHREAD_H
#define MASTERTHREAD_H

#include <QMutex>
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

    // Why the updater refused to start the last run, in words for the user;
    // empty when it was not refused. Read once the run has reported.
    QString lastRefusal() const;

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
    void setLastRefusal(const QString &advice);

    mutable QMutex m_refusalMutex;
    QString m_lastRefusal;
};

#endif // MASTERTHREAD_H
