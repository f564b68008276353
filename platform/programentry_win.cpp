// The current user's entry among the installed programs (the Uninstall key).
#include "programentry.h"
#include "winerror_win.h"

#include <QDir>

#include <algorithm>
#include <windows.h>

namespace platform {
namespace {

const QString kUninstallKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

std::wstring keyName(const QString &id) { return (kUninstallKey + id).toStdWString(); }

bool fail(QString *error, const QString &what, LONG rc)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromStdWString(win::systemErrorText(DWORD(rc)));
    return false;
}

LONG setText(HKEY key, const wchar_t *name, const QString &value)
{
    const std::wstring v = value.toStdWString();
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(v.c_str()),
                          DWORD((v.size() + 1) * sizeof(wchar_t)));
}

LONG setNumber(HKEY key, const wchar_t *name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

QString text(HKEY key, const wchar_t *name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf.data()), &size) != ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(buf.c_str());
}

QString windowsFolder(const QString &folder) { return QDir::toNativeSeparators(QDir::cleanPath(folder)); }

} // namespace

bool writeProgramEntry(const ProgramEntry &e, QString *error)
{
    const std::wstring name = keyName(e.id);
    // A new key each time: nothing of an older installation's values stays.
    const LONG removed = RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
        return fail(error, QString::fromStdWString(name), removed);
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return fail(error, QString::fromStdWString(name), rc);
    const std::pair<const wchar_t *, QString> texts[] = {
        {L"DisplayName", e.displayName},
        {L"DisplayVersion", e.version},
        {L"Publisher", e.publisher},
        {L"InstallLocation", windowsFolder(e.installLocation)},
        {L"DisplayIcon", QDir::toNativeSeparators(e.displayIcon)},
        {L"UninstallString", e.uninstallCommand},
        {L"QuietUninstallString", e.quietUninstallCommand},
        {L"InstallDate", e.installDate.toString(QStringLiteral("yyyyMMdd"))},
    };
    for (const auto &[valueName, value] : texts)
        if (rc == ERROR_SUCCESS && !value.isEmpty())
            rc = setText(key, valueName, value);
    const std::pair<const wchar_t *, DWORD> numbers[] = {
        {L"EstimatedSize", DWORD(std::clamp<qint64>(e.estimatedSizeKB, 0, 0xFFFFFFFF))},
        {L"NoModify", 1},
        {L"NoRepair", 1},
    };
    for (const auto &[valueName, value] : numbers)
        if (rc == ERROR_SUCCESS)
            rc = setNumber(key, valueName, value);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str()); // no half-written entry
        return fail(error, QString::fromStdWString(name), rc);
    }
    return true;
}

ProgramEntry readProgramEntry(const QString &id)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName(id).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    ProgramEntry e;
    e.id = id;
    e.displayName = text(key, L"DisplayName");
    e.version = text(key, L"DisplayVersion");
    e.publisher = text(key, L"Publisher");
    e.installLocation = QDir::fromNativeSeparators(text(key, L"InstallLocation"));
    e.displayIcon = QDir::fromNativeSeparators(text(key, L"DisplayIcon"));
    e.uninstallCommand = text(key, L"UninstallString");
    e.quietUninstallCommand = text(key, L"QuietUninstallString");
    e.installDate = QDate::fromString(text(key, L"InstallDate"), QStringLiteral("yyyyMMdd"));
    DWORD size = 0, bytes = sizeof size, type = 0;
    if (RegQueryValueExW(key, L"EstimatedSize", nullptr, &type, reinterpret_cast<BYTE *>(&size), &bytes) == ERROR_SUCCESS
        && type == REG_DWORD)
        e.estimatedSizeKB = size;
    RegCloseKey(key);
    return e;
}

bool removeProgramEntry(const QString &id, const QString &installLocation, QString *error)
{
    const ProgramEntry e = readProgramEntry(id);
    if (e.id.isEmpty())
        return true;
    if (windowsFolder(e.installLocation).compare(windowsFolder(installLocation), Qt::CaseInsensitive) != 0)
        return true; // another installation's entry now
    const LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, keyName(id).c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || fail(error, kUninstallKey + id, rc);
}

} // namespace platform
