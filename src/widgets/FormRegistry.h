#pragma once

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Name-to-class registry: the catalogue names a form by its class name
// ("TFrmUser") and the main window creates it through the creator stored here.
class FormRegistry
{
public:
    using Creator = std::function<QWidget*(QWidget* parent)>;

    struct Entry
    {
        QString className;
        QString caption;
        // true for TDefForm descendants (modes "M" and "S"); false for plain
        // dialogs (mode "D").
        bool isChildForm = false;
        Creator create;
        // The class's meta-object, so that FindOpenForm can also match
        // instances of derived classes; set by RegisterForm.
        const QMetaObject* metaObject = nullptr;
    };

    // A second registration under the same class name replaces the first.
    static void Register(const Entry& entry);
    static const Entry* Find(const QString& className);
    static QStringList ClassNames();
    static void Clear();
};

// Registers a form class under its own (meta-object) class name.
template <typename Form> void RegisterForm(const QString& caption, bool isChildForm)
{
    FormRegistry::Register({QString::fromLatin1(Form::staticMetaObject.className()), caption, isChildForm,
                            [](QWidget* parent) -> QWidget* { return new Form(parent); },
                            &Form::staticMetaObject});
}
