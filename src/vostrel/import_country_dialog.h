// "Select country to import": the lands exported under the export root, the countries of the
// expanded one and the materials of the selected country. On "Import" it hands the choice
// to the import in the core; it changes nothing itself.
#pragma once

#include "countries/country_import.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace lnd {

class CLand;
class UserMessages;

class CImportCountry : public QDialog {
    Q_OBJECT
public:
    // `exportRoot` is used as a plain prefix (it ends with a separator); `materialsSubdir` is
    // the materials folder of every exported land.
    CImportCountry(const std::string& landPath, const std::string& exportRoot, const std::string& materialsSubdir,
                   UserMessages& messages, QWidget* parent = nullptr);
    ~CImportCountry() override;

    // The selected country, after the dialog ended with "Import".
    const CountryChoice& choice() const { return m_choice; }

    QTreeWidget* tree() const { return m_tree; }
    QListWidget* materialList() const { return m_list; }
    QPushButton* importButton() const { return m_import; }

private:
    void expandLand(QTreeWidgetItem* item);
    void selectItem(QTreeWidgetItem* item);
    void showCountry(const std::string& id);

    std::string m_exportRoot;
    std::string m_materialsSubdir;
    UserMessages& m_messages;
    QTreeWidget* m_tree = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_import = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_expanded = nullptr;
    std::unique_ptr<CountriesFile> m_file;   // of the expanded land
    std::string m_materialsDir;              // of the expanded land
    CountryChoice m_choice;
};

}  // namespace lnd
