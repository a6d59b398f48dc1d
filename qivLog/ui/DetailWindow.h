#pragma once
// "DETAIL": the object lines of one job result log, over the job list.

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>

namespace Ui {
class DetailWindow;
}

namespace zorva::qivlog {

class DetailWindow final : public QDialog {
    Q_OBJECT
public:
    DetailWindow(const std::filesystem::path& programFolder, const std::string& fileName,
                 QWidget* parent = nullptr);
    ~DetailWindow() override;

    const std::string& FileName() const { return fileName_; }

private:
    std::unique_ptr<Ui::DetailWindow> ui_;
    std::string fileName_;
};

}  // namespace zorva::qivlog
