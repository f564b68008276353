#pragma once
// What the components tell assistive technology (a screen reader on the
// desktop's accessibility bus): the key-cap button, the hint bar and its
// buttons, and the gauge describe their role, name, state, keys and value;
// containers list only the children that are shown, so that a reader walking
// a window reads what is on display and nothing of the hidden pages.
#include <QString>
#include <QStringList>

class QLabel;
class TTvoBtn;

namespace Accessible {

// Puts the interfaces in place; once, after the application object exists.
void install();

// A caption as it is read out: without the accelerator's '&' ("&&" is one '&').
QString spokenCaption(const QString &caption);
// The keys that trigger a key-cap button: the key on its cap, then Alt with
// its accelerator letter ("Enter", "Alt+W").
QStringList buttonKeys(const TTvoBtn &button);
// Names the label's buddy by the label's caption, for the controls that do
// not take their name from their label themselves (trees, lists).
void nameBuddy(const QLabel *label);

} // namespace Accessible
