#pragma once

#include <QMdiArea>
#include <QPixmap>

// The MDI client area with a fixed picture painted centred on its background.
class TWallpaperMdiArea : public QMdiArea
{
    Q_OBJECT
public:
    explicit TWallpaperMdiArea(const QPixmap &wallpaper, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_wallpaper;
};
