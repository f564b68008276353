#include "DesktopIntegration.h"

#include "Fonts.h"
#include "program.h"
#include "programentry.h"

#include <QDir>

#include <QPainter>
#include <QPainterPath>

namespace Integration {

QImage drawIcon(int size)
{
    // The small picture is designed on a 44 x 39 grid; it is drawn here as
    // shapes, centred on a square of 44 x 44 units and scaled to the size.
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 44.0, size / 44.0);
    p.translate(0, 2.5);

    const QColor paper(0xF4, 0xF1, 0xE8), navy(0x1B, 0x3F, 0x8C), blue(0x2E, 0x64, 0xC8), red(0xBB, 0x16, 0x00),
        gold(0xFF, 0xC2, 0x1A);
    p.setPen(QPen(navy, 1.2));
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(2, 2, 40, 35), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawRect(QRectF(6, 6, 32, 9));
    p.setBrush(navy);
    p.drawPolygon(QPolygonF({QPointF(8, 34), QPointF(16, 18), QPointF(24, 34)}));
    p.setBrush(blue);
    p.drawPolygon(QPolygonF({QPointF(16, 34), QPointF(23, 22), QPointF(30, 34)}));
    p.setBrush(gold);
    p.drawRect(QRectF(7, 33, 30, 2));

    // The name in the red band, as a path so that it scales with the picture.
    QFont font(Fonts::hostFamily(QStringLiteral("Arial")));
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath text;
    text.addText(0, 0, font, QStringLiteral("TAVRO"));
    const QRectF box = text.boundingRect();
    const QRectF band(8, 7.5, 28, 6);
    const qreal k = std::min(band.width() / box.width(), band.height() / box.height());
    p.translate(band.center().x() - box.center().x() * k, band.center().y() - box.center().y() * k);
    p.scale(k, k);
    p.setBrush(Qt::white);
    p.drawPath(text);
    return img;
}

bool registerInstallation(const QString &targetFolder, qint64 installedBytes, QString *error)
{
    const QString target = QDir::cleanPath(targetFolder);
    const QString uninstaller = QDir::toNativeSeparators(QDir(target).filePath(uninstallerName));
    platform::ProgramEntry e;
    e.id = appId;
    e.displayName = shortcutName;
    e.version = QStringLiteral(TVO_VERSION);
    e.publisher = QStringLiteral("Tavro");
    e.installLocation = target;
    e.displayIcon = QDir(target).filePath(QStringLiteral("TVODEMO.EXE"));
    e.uninstallCommand = platform::quotedCommandLine({uninstaller});
    e.quietUninstallCommand = e.uninstallCommand + QStringLiteral(" --yes");
    e.estimatedSizeKB = (installedBytes + 1023) / 1024;
    e.installDate = QDate::currentDate();
    return platform::writeProgramEntry(e, error);
}

bool unregisterInstallation(const QString &targetFolder, QString *error)
{
    return platform::removeProgramEntry(appId, QDir::cleanPath(targetFolder), error);
}

} // namespace Integration
