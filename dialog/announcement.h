#ifndef ANNOUNCEMENT_H
#define ANNOUNCEMENT_H

#include <QString>

QT_BEGIN_NAMESPACE
class QComboBox;
class QMessageBox;
class QWidget;
QT_END_NAMESPACE

// Has assistive technology say news about a widget once, as it happens,
// without moving the focus: a screen reader speaks a label's new text only
// when the label has the focus, which a status line never has.
void announce(QWidget *source, const QString &news);

// Has assistive technology say a list's chosen item with the list's caption
// as the focus reaches it, and the new one as the arrow keys change it,
// where the platform's own accessibility does not tell of it.
void announceChoice(QComboBox *list);

// Has assistive technology say a message box's text as it opens, where a
// screen reader would leave a short one out, after the news before it.
void nameMessageBox(QMessageBox *box);

#endif // ANNOUNCEMENT_H
