#include "QrCode.h"

#include <QPainter>
#include <QPainterPath>

#include <qrencode.h>

QrCode QrCode::Encode(const QString& text)
{
    QrCode code;
    if (text.isEmpty())
        return code;
    const QByteArray bytes = text.toUtf8();
    // Version 0: the smallest symbol that holds the data.
    QRcode* symbol = QRcode_encodeData(
        int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0, QR_ECLEVEL_M);
    if (!symbol)
        return code;
    code.m_size = symbol->width;
    code.m_modules.resize(qsizetype(symbol->width) * symbol->width);
    for (qsizetype i = 0; i < code.m_modules.size(); ++i)
        code.m_modules[i] = char(symbol->data[i] & 1);
    QRcode_free(symbol);
    return code;
}

bool QrCode::IsDark(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_size || y >= m_size)
        return false;
    return m_modules[qsizetype(y) * m_size + x] != 0;
}

void QrCode::Paint(QPainter& painter, const QRectF& box) const
{
    if (IsNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(box, Qt::white);
    // Runs of dark modules in a row become one rectangle: fewer, larger
    // shapes for printers and PDF, and no hairline seams between modules.
    const double module = box.width() / m_size;
    QPainterPath path;
    for (int y = 0; y < m_size; ++y) {
        for (int x = 0; x < m_size;) {
            if (!IsDark(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < m_size && IsDark(end, y))
                ++end;
            path.addRect(QRectF(box.left() + x * module, box.top() + y * module, (end - x) * module, module));
            x = end;
        }
    }
    path.setFillRule(Qt::WindingFill);
    painter.fillPath(path, Qt::black);
    painter.restore();
}
