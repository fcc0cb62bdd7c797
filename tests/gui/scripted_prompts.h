// Answers the program's dialogs from a script and records what they were asked.
#pragma once

#include <deque>
#include <vector>

#include "app/user_prompts.h"

namespace zendrik {

class ScriptedPrompts : public UserPrompts {
public:
    ScriptedPrompts() { SetUserPrompts(this); }
    ~ScriptedPrompts() override { SetUserPrompts(nullptr); }

    std::optional<FileChoice> ChooseOpenFile(QWidget*, const FileRequest& request) override {
        openRequests.push_back(request);
        return Next(openAnswers);
    }
    std::optional<FileChoice> ChooseSaveFile(QWidget*, const FileRequest& request) override {
        saveRequests.push_back(request);
        return Next(saveAnswers);
    }
    QString ChooseFolder(QWidget*, const QString& caption) override {
        folderCaptions.push_back(caption);
        if (folderAnswers.empty()) return {};
        const QString next = folderAnswers.front();
        folderAnswers.pop_front();
        return next;
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons,
                                    QMessageBox::StandardButton defaultButton) override {
        questions.push_back(caption + "|" + text);
        defaults.push_back(defaultButton);
        if (answers.empty()) return QMessageBox::Cancel;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
              const QString&) override {
        messages.push_back(caption + "|" + text);
    }

    // Answers in turn; an empty path (or none left) cancels the dialog.
    std::deque<FileChoice> openAnswers;
    std::deque<FileChoice> saveAnswers;
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> folderAnswers;  // an empty one cancels
    std::vector<QString> folderCaptions;
    std::vector<FileRequest> openRequests;
    std::vector<FileRequest> saveRequests;
    std::vector<QString> questions;
    std::vector<QMessageBox::StandardButton> defaults;  // of each question
    std::vector<QString> messages;

private:
    static std::optional<FileChoice> Next(std::deque<FileChoice>& queue) {
        if (queue.empty()) return std::nullopt;
        const FileChoice next = queue.front();
        queue.pop_front();
        if (next.path.isEmpty()) return std::nullopt;
        return next;
    }
};

}  // namespace zendrik
