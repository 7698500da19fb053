#include "widgets/WallpaperMdiArea.h"

#include <QPainter>

TWallpaperMdiArea::TWallpaperMdiArea(const QPixmap &wallpaper, QWidget *parent)
    : QMdiArea(parent), m_wallpaper(wallpaper)
{
    setBackground(palette().brush(QPalette::Dark));
}

void TWallpaperMdiArea::paintEvent(QPaintEvent *event)
{
    QMdiArea::paintEvent(event);
    QPainter painter(viewport());
    const QSize area = viewport()->size();
    painter.drawPixmap((area.width() - m_wallpaper.width()) / 2, (area.height() - m_wallpaper.height()) / 2,
                       m_wallpaper);
}
