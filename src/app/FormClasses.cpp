#include "FormClasses.h"

#include "FormRegistry.h"
#include "TFrmAboutMe.h"
#include "TFrmBackUp.h"
#include "TFrmBusinessStats.h"
#include "TFrmChangeLog.h"
#include "TFrmCompanyDirEdit.h"
#include "TFrmCompanySet.h"
#include "TFrmCompressData.h"
#include "TFrmGroupCfg.h"
#include "TFrmInputInfo.h"
#include "TFrmOption.h"
#include "TFrmPrintMode.h"
#include "TFrmRepairHistory.h"
#include "TFrmRepairInput.h"
#include "TFrmRepairManage.h"
#include "TFrmRepairOption.h"
#include "TFrmRight.h"
#include "TFrmRole.h"
#include "TFrmSaleManage.h"
#include "TFrmSysLog.h"
#include "TFrmUser.h"
#include "TfrmMenuCfg.h"
#include "TfrmToolCfg.h"

namespace {

enum Base { ChildForm, DialogForm };

template <typename Form> void Register(const char* caption, Base base)
{
    RegisterForm<Form>(QString::fromUtf8(caption), base == ChildForm);
}

} // namespace

// One line per class: the caption the catalogue shows and whether the form
// opens inside the main window or as a dialog.
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
    Register<TFrmRepairInput>("维修登记", ChildForm);
    Register<TFrmRepairManage>("维修管理", ChildForm);
    Register<TFrmSysLog>("系统日志", ChildForm);
    Register<TFrmChangeLog>("数据修改记录", ChildForm);
    Register<TFrmBusinessStats>("经营统计", ChildForm);
    Register<TFrmBackUp>("备份数据", DialogForm);
    Register<TFrmCompressData>("压缩数据库", DialogForm);
    Register<TFrmOption>("备份数据库设置", DialogForm);
    Register<TFrmCompanySet>("本单位信息设置", DialogForm);
    Register<TFrmCompanyDirEdit>("单位字典编辑", DialogForm);
    Register<TFrmInputInfo>("客户信息输入", DialogForm);
    Register<TFrmAboutMe>("关于作者", DialogForm);
    Register<TFrmRepairOption>("维修设置", DialogForm);
    // The record manager's 维修记录 opens the repair desk's window of a machine.
    TFrmSaleManage::OpenRepairHistory = [](qint64 saleID, QWidget* parent) {
        ShowRepairHistory(saleID, parent);
    };
}
