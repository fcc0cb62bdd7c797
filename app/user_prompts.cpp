#include "app/user_prompts.h"

#include <QComboBox>
#include <QFileDialog>

namespace zendrik {

void ConfigureFileDialog(QFileDialog& dialog, const FileRequest& request) {
    // Qt's own dialog matches the patterns without regard to case, so "*.wav" also lists
    // recordings named .WAV on file systems that tell the two apart.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(request.filters);
    const int selected = request.selectedFilter - 1;
    if (selected >= 0 && selected < request.filters.size()) dialog.selectNameFilter(request.filters.at(selected));
    dialog.setDefaultSuffix(request.defaultSuffix);
    // Qt gives a typed name the extension of the entry chosen; a name typed without one gets
    // that entry's too, rather than the one the dialog opened with (ride.fit, not ride.hrm).
    // Qt's own dialog (always used here) signals the choice only through its type list.
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        QObject::connect(types, &QComboBox::currentTextChanged, &dialog, [&dialog](const QString& filter) {
            const qsizetype from = filter.lastIndexOf(QStringLiteral("(*."));
            if (from < 0 || !filter.endsWith(QLatin1Char(')'))) return;
            dialog.setDefaultSuffix(filter.mid(from + 3, filter.size() - from - 4));
        });
    }
}

namespace {

class QtUserPrompts final : public UserPrompts {
public:
    std::optional<FileChoice> ChooseOpenFile(QWidget* owner, const FileRequest& request) override {
        QFileDialog dialog(owner);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Run(dialog, request);
    }

    std::optional<FileChoice> ChooseSaveFile(QWidget* owner, const FileRequest& request) override {
        QFileDialog dialog(owner);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
        return Run(dialog, request);
    }

    QString ChooseFolder(QWidget* owner, const QString& caption) override {
        return QFileDialog::getExistingDirectory(owner, caption);
    }

    QMessageBox::StandardButton Ask(QWidget* owner, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override {
        QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, owner);
        box.setDefaultButton(defaultButton);
        const int answer = box.exec();
        return static_cast<QMessageBox::StandardButton>(answer);
    }

    void Tell(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
              const QString& detail) override {
        QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
        if (!detail.isEmpty()) box.setInformativeText(detail);
        box.exec();
    }

private:
    static std::optional<FileChoice> Run(QFileDialog& dialog, const FileRequest& request) {
        ConfigureFileDialog(dialog, request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return FileChoice{dialog.selectedFiles().first(),
                           static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())) + 1};
    }
};

UserPrompts* g_installed = nullptr;

}  // namespace

UserPrompts& Prompts() {
    static QtUserPrompts qtPrompts;
    return g_installed ? *g_installed : qtPrompts;
}

void SetUserPrompts(UserPrompts* prompts) { g_installed = prompts; }

}  // namespace zendrik
