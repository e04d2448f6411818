#ifndef ANNOUNCEMENT_P_H
#define ANNOUNCEMENT_P_H

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Hands news to the platform's assistive technology at once, in the way
// its screen readers take it unasked.
void sayNews(QWidget *source, const QString &news);

// Says at once the news still held back to be said with what follows, as
// a box that takes the screen reader's attention opens.
void sayPendingNews();

#endif // ANNOUNCEMENT_P_H
