#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmCompanyDirEdit;
}
class DictionaryModel;
class QModelIndex;

// "单位字典编辑": edits the three lookup tables of the user records
// (departments, person types, work posts) in a grid over the data module's
// dictionary dataset adoSetDir.  Every posted row is written at once.
class TFrmCompanyDirEdit : public QDialog
{
    Q_OBJECT
public:
    // The navigator's buttons, in the order they stand.
    enum NavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost };

    explicit TFrmCompanyDirEdit(QWidget* parent = nullptr);
    ~TFrmCompanyDirEdit() override;

    void CloseDictionary();
    bool OpenDictionary(const QString& table);
    DictionaryModel* GridModel() const { return m_model; }

public slots:
    void cmbDirClick();
    void RzDBNavigator1Click(int button);
    void btnCloseClick();
    // Also the Escape key and the title bar's close box: an unposted row is
    // saved or dropped first, as the user answers.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CommitEditor();
    void DiscardEditor();
    bool AskSavePending();
    void GoToRow(int row);
    void SetCurrentCell(int row, int column);
    void DeleteCurrentRow();
    void UpdateNavigator();
    void OnCurrentRowChanged(const QModelIndex& current, const QModelIndex& previous);

    std::unique_ptr<Ui::TFrmCompanyDirEdit> ui;
    DictionaryModel* m_model = nullptr;
    int m_dirIndex = -1;
    bool m_syncing = false;
};
