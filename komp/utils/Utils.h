#pragma once
// Small routines shared by the installer and its components: free space of a
// drive, file attributes, the busy cursor, focus with a readable failure,
// object paths for messages, turned fonts, and the process-wide formatting
// defaults that the program uses for every number and date it formats.
#include "Exceptions.h"

#include <QDateTime>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstdint>

class QObject;
class QPainter;
class QTreeView;
class QWidget;

// ---- Drives and files ------------------------------------------------------

// Drive numbers: 0 the current drive, n the drive whose letter has code n + 64
// (1 = A, 3 = C; a lower-case letter gives n + 32 and names the same drive).

// Free megabytes (1,048,576 bytes, fraction included), -1 when the drive gives
// no answer. Never throws.
long double DiskFreeMB(quint8 drive);
// Bytes to megabytes in 64-bit arithmetic; negative byte counts give -1.
long double BytesToMB(std::int64_t bytes);

// Drive number of a path: "C:..." gives 3, "c:..." 35, a network path
// ("\\server\share") 28, which no drive answers; no drive part gives 0.
quint8 DriveNumberOf(const QString &path);

// Drops read-only, hidden and system, keeping every other bit. False when the
// file is missing or its attributes cannot be written. Never throws.
bool ClearFileAttributes(const QString &fileName);

// ---- Busy cursor -------------------------------------------------------------

// Cursor values of the stack: 0 no override, -11 the hourglass
// (Qt::WaitCursor), -19 the arrow with a small hourglass (Qt::BusyCursor).
enum TBusyCursor : int { crDefault = 0, crHourGlass = -11, crAppStart = -19 };

// Push: the hourglass, or for background work the small hourglass unless the
// hourglass shows already. Pop (push false): drops the top entry. The screen
// cursor then follows the top entry. Calls come in pairs.
void SetBusyCursor(bool push, bool background);
// The top entry of the stack, 0 when it is empty.
int CurrentBusyCursor();

// ---- Controls ----------------------------------------------------------------

// The tree view shows no tool tips for items whose text is cut off.
void DisableTreeToolTips(QTreeView *tree);

TVO_EXCEPTION(ESetFocusError);

// Gives the control the input focus. A control that cannot take it (null,
// hidden, disabled, in a hidden or disabled window, or refusing focus) raises
// ESetFocusError: "Problem z SetFocus dla: <path>\r(Visible=v, Enabled=e,
// CanFocus=c)" with 0 or 1 for each state.
void SafeSetFocus(QWidget *control);

// The window that ends owner chains in ComponentPath. Without one set, the
// only plain top-level window of the application (if there is exactly one).
void SetMainForm(QWidget *form);
QWidget *MainForm();

// "Class-name" of the object, preceded by its owners up to the main window:
// a list box lb on the main window TForm1 gives "TForm1, QListWidget-lb".
// Windows show no name; a chain that ends without the main window starts
// with "nil". Null gives "nil"; a failure "***". Never throws.
QString ComponentPath(const QObject *obj);

// ---- Turned fonts -------------------------------------------------------------

// A font together with the angle (degrees, counter-clockwise) at which its
// text runs. 90 writes upward.
struct TRotatedFont {
    QFont font;
    int angle = 0;
};

// Rebuilds the font from its family, size, bold/normal weight, italic,
// underline, strike-out and pitch (dropping every other setting) and turns it
// by the angle. A bold font keeps a weight heavier than bold: here a heavy
// face is its family drawn at that weight.
void RotateFont(TRotatedFont &font, int angle);
TRotatedFont RotatedFont(const QFont &font, int angle);

// Where text drawn with drawRotatedText lands: the text's cell (advance by
// line height) turned about its top-left corner, which sits at origin.
QRectF rotatedTextBounds(const TRotatedFont &font, const QPointF &origin, const QString &text);
// Draws text with the turned font; origin is the top-left corner of the
// text cell before turning. The painter's state is kept.
void drawRotatedText(QPainter &painter, const TRotatedFont &font, const QPointF &origin, const QString &text);

// ---- Formatting defaults ------------------------------------------------------

struct TFormatSettings {
    QChar ThousandSeparator;
    QChar DecimalSeparator;
    QChar DateSeparator;
    QChar TimeSeparator;
    QString ShortDateFormat;
    QString LongDateFormat;
};

// Sets the defaults (" ", ",", "-", "dd-mm-yyyy", "dd-mm-yyyy hh:mm:ss") and
// seeds the pseudo-random generator from the clock. Runs once at start-up;
// the system's regional settings are never consulted, so the values hold for
// the whole run.
void InitFormatSettings();
const TFormatSettings &FormatSettings();

// A number with the given count of decimals (0 to 18), rounded to the
// nearest, the thousands grouped when asked: FormatNumber(1234567.891, 2) is
// "1 234 567,89".
QString FormatNumber(long double value, int decimals, bool groupThousands = true);

// Formats by pattern: d dd (day), m mm (month, or minutes right after an
// hour), yy yyyy, h hh, n nn (minutes), s ss, z zzz (milliseconds), "/" the
// date separator, ":" the time separator, text in '...' or "..." as it is.
QString FormatDateTime(const QString &format, const QDateTime &dateTime);
QString DateToStr(const QDate &date);          // by ShortDateFormat
QString DateTimeToStr(const QDateTime &value); // by LongDateFormat
