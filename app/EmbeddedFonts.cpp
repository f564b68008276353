#include "EmbeddedFonts.h"

#include "hostsystem.h"
#include "zframe.h"

#include <QByteArray>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QResource>

namespace EmbeddedFonts {
namespace {

// One face as packed into the program (a zstd frame that records its size);
// empty when the data is damaged.
QByteArray unpack(const QByteArray &packed)
{
    const std::size_t size = platform::unpackedFrameSize(packed.constData(), std::size_t(packed.size()));
    if (size == 0 || size > std::size_t(64) << 20) // no face is that large
        return {};
    QByteArray face(qsizetype(size), Qt::Uninitialized);
    if (!platform::unpackFrame(packed.constData(), std::size_t(packed.size()), face.data(), size))
        return {};
    return face;
}

} // namespace

int registerAll()
{
    // Packed at build time with zstd and stored as they are: unpacking them
    // at every start is several times faster than the resource system's zlib.
    const QDir fonts(QStringLiteral(":/fonts"));
    int taken = 0;
    for (const QString &name : fonts.entryList({QStringLiteral("*.ttf.zst")}, QDir::Files, QDir::Name)) {
        const QResource packed(fonts.filePath(name));
        const QByteArray face = unpack(packed.uncompressedData());
        taken += !face.isEmpty() && QFontDatabase::addApplicationFontFromData(face) >= 0;
    }
    // What the pages do not name a face for (the chooser, the standard
    // boxes) is drawn in the face Linux desktops give by default; Windows
    // would give its own user-interface face, which is not carried.
    if (taken && platform::hostSystem() == platform::System::Windows)
        QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    return taken;
}

} // namespace EmbeddedFonts
