#include "FormClasses.h"

#include "TFrmAboutMe.h"
#include "TFrmBackUp.h"
#include "TFrmCompressData.h"
#include "TFrmOption.h"
#include "TFrmInputInfo.h"
#include "TfrmMenuCfg.h"
#include "TFrmSaleManage.h"
#include "TFrmCompanyDirEdit.h"
#include "TFrmCompanySet.h"
#include "TFrmGroupCfg.h"
#include "TFrmPrintMode.h"
#include "TFrmRight.h"
#include "TFrmSysLog.h"
#include "TFrmRole.h"
#include "TFrmUser.h"
#include "TfrmToolCfg.h"
#include "TDefForm.h"
#include "FormRegistry.h"

#include <QDialog>
#include <QSet>

namespace {

enum Base { ChildForm, DialogForm };

QSet<QString>& Placeholders()
{
    static QSet<QString> names;
    return names;
}

// A class whose form is being written elsewhere: until it is done the
// catalogue opens an empty form with the class's caption and base, so that
// menus, rights and the open-windows list already work with it.
void RegisterPlaceholder(const char* className, const char* caption, Base base)
{
    const QString name = QString::fromLatin1(className);
    const QString title = QString::fromUtf8(caption);
    FormRegistry::Entry entry;
    entry.className = name;
    entry.caption = title;
    entry.isChildForm = base == ChildForm;
    entry.create = [name, title, base](QWidget* parent) -> QWidget* {
        QWidget* form = nullptr;
        if (base == ChildForm) {
            form = new TDefForm(parent);
        } else {
            auto* dialog = new QDialog(parent);
            dialog->resize(420, 260);
            form = dialog;
        }
        form->setObjectName(QString(name).remove(0, 1));
        form->setWindowTitle(title);
        form->setProperty(FormClassProperty, name);
        return form;
    };
    FormRegistry::Register(entry);
    Placeholders().insert(name);
}

template <typename Form> void Register(const char* caption, Base base)
{
    RegisterForm<Form>(QString::fromUtf8(caption), base == ChildForm);
    Placeholders().remove(QString::fromLatin1(Form::staticMetaObject.className()));
}

} // namespace

bool IsPlaceholderForm(const QString& className)
{
    return Placeholders().contains(className);
}

// One line per class.  When a form is finished, its placeholder line becomes
//   Register<TFrmUser>("用户管理", ChildForm);
void RegisterFormClasses()
{
    Register<TFrmPrintMode>("打印模板", ChildForm);
    Register<TfrmMenuCfg>("菜单设置", ChildForm);
    Register<TFrmRight>("功能定义", ChildForm);
    Register<TFrmRole>("角色管理", ChildForm);
    Register<TfrmToolCfg>("工具栏设置", ChildForm);
    Register<TFrmUser>("用户管理", ChildForm);
    Register<TFrmGroupCfg>("GroupBar设置", ChildForm);
    Register<TFrmSaleManage>("销售记录管理", ChildForm);
    Register<TFrmSysLog>("系统日志", ChildForm);
    Register<TFrmBackUp>("备份数据", DialogForm);
    Register<TFrmCompressData>("压缩数据库", DialogForm);
    Register<TFrmOption>("备份数据库设置", DialogForm);
    Register<TFrmCompanySet>("本单位信息设置", DialogForm);
    Register<TFrmCompanyDirEdit>("单位字典编辑", DialogForm);
    Register<TFrmInputInfo>("客户信息输入", DialogForm);
    Register<TFrmAboutMe>("关于作者", DialogForm);
}
