#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

class QPainter;

// A QR code symbol, encoded by libqrencode: a square of dark and light
// modules.  The text goes in as UTF-8 bytes (byte mode), which phone cameras
// show as text, with error correction level M (15 % of the symbol may be
// damaged or soiled on a printed card and it still reads).
class QrCode
{
public:
    // A null code when the text is empty or too long for any symbol.
    static QrCode Encode(const QString& text);

    bool IsNull() const { return m_size == 0; }
    // Modules along one side.
    int Size() const { return m_size; }
    bool IsDark(int x, int y) const;

    // Paints the symbol into `box` (square; the modules fill it) on white,
    // without smoothing, so every module stays a crisp square.
    void Paint(QPainter& painter, const QRectF& box) const;

private:
    int m_size = 0;
    QByteArray m_modules; // row by row, 1 for dark
};
