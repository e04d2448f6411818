#ifndef ANNOUNCEMENT_H
#define ANNOUNCEMENT_H

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Has assistive technology say news about a widget once, as it happens,
// without moving the focus: a screen reader speaks a label's new text only
// when the label has the focus, which a status line never has.
void announce(QWidget *source, const QString &news);

#endif // ANNOUNCEMENT_H
