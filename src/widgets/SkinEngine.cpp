#include "SkinEngine.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QStringDecoder>
#include <QWidget>

namespace {

// Widgets keep colours that a style sheet sets through qproperty-…; a new
// sheet that does not set them must not inherit the old ones, so they return
// to their defaults first (our widgets offer ResetSkinColors for that).
void ResetSkinColors()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* area = qobject_cast<QMdiArea*>(widget))
            area->setBackground(area->palette().brush(QPalette::Dark)); // its own default
        else if (widget->metaObject()->indexOfMethod("ResetSkinColors()") >= 0)
            QMetaObject::invokeMethod(widget, "ResetSkinColors", Qt::DirectConnection);
    }
}

void ApplyStyleSheet(const QString& sheet)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    ResetSkinColors();
    app->setStyleSheet(sheet);
}

} // namespace

bool SkinEngine::LoadSkin(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile() || info.size() > MaxSkinBytes)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Read one byte past the limit: a file that grew since it was looked at
    // is refused too.
    const QByteArray bytes = file.read(MaxSkinBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxSkinBytes || bytes.contains('\0'))
        return false;
    // Style sheets are UTF-8 text; anything else is not one of our skins.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder.decode(bytes);
    if (decoder.hasError())
        return false;
    ApplyStyleSheet(sheet);
    m_skinFile = info.absoluteFilePath();
    return true;
}

void SkinEngine::Clear()
{
    ApplyStyleSheet(QString());
    m_skinFile.clear();
}
