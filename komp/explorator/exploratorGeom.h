#pragma once
// Plain computations of the directory chooser: picture fitting, centring,
// the file list's tab stop, tree node paths and full drive-form paths.
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace explorer {

// Suspends a widget's repainting for the scope.
class UpdatesSuspended {
public:
    explicit UpdatesSuspended(QWidget *w) : m_w(w), m_was(w->updatesEnabled()) { w->setUpdatesEnabled(false); }
    ~UpdatesSuspended() { m_w->setUpdatesEnabled(m_was); }
    UpdatesSuspended(const UpdatesSuspended &) = delete;
    UpdatesSuspended &operator=(const UpdatesSuspended &) = delete;

private:
    QWidget *m_w;
    bool m_was;
};

// Pushes the busy cursor for the scope (Utils' cursor stack).
class BusyCursor {
public:
    explicit BusyCursor(bool background);
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Size of a picture fitted into an area: scaled by the larger of the two
// ratios picture/area, then to 98 %, each side rounded half to even (small
// pictures grow as well). An area without positive size gives 0 x 0.
QSize fitPicture(QSize picture, QSize area);

// Top-left corner that centres inner in outer: half the differences,
// truncated, never below 0.
QPoint centredPos(QSize outer, QSize inner);

// Tab stop of the file list in dialog units, so that the description column
// starts szerOpisow pixels before the end of a file area szerPlikow wide.
// baseUnitX is the dialog font's horizontal base unit (4 dialog units).
int listTabStopUnits(int szerPlikow, int szerOpisow, int baseUnitX);
// The same tab stop in pixels.
int tabStopPixels(int units, int baseUnitX);

// Left end of the text after a tab in a list item whose text before the tab
// ends at textEnd: the first multiple of tabStop not before it (tabStop
// itself when the text is short); with no positive tab stop, textEnd.
int tabPosition(int textEnd, int tabStop);

// Path of a tree node from the texts of the node and its ancestors, the node
// first and the root last: a text with a backslash (a drive root) is taken
// as it is, every other text gets a backslash after it; the result ends in a
// backslash unless it is empty.
QString nodePathOf(const QStringList &textsUpToRoot);

// The path with its first character upper-cased when its second is ":".
QString upperDrive(const QString &path);

// Full drive-form path: "X:\..." has its "." and ".." resolved (never above
// the drive root); anything else is taken against the current folder.
QString fullDrivePath(const QString &path);

// Whether a drive-form path names an existing folder.
bool folderExists(const QString &path);
// The existing folder a drive-form path names, as a full path; a name that
// does not exist as written is looked up without regard to case (names on
// this system are case-sensitive, the program's paths are not). Empty when
// there is no such folder.
QString existingFolder(const QString &path);

} // namespace explorer
