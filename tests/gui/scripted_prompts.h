// Answers the program's dialogs from a script and records what they were asked.
#pragma once

#include <deque>
#include <vector>

#include "app/user_prompts.h"

class CScriptedPrompts : public CUserPrompts {
public:
    CScriptedPrompts() { SetUserPrompts(this); }
    ~CScriptedPrompts() override { SetUserPrompts(nullptr); }

    std::optional<CFileChoice> ChooseOpenFile(QWidget*, const CFileRequest& request) override {
        openRequests.push_back(request);
        return Next(openAnswers);
    }
    std::optional<CFileChoice> ChooseSaveFile(QWidget*, const CFileRequest& request) override {
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
    std::deque<CFileChoice> openAnswers;
    std::deque<CFileChoice> saveAnswers;
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> folderAnswers;  // an empty one cancels
    std::vector<QString> folderCaptions;
    std::vector<CFileRequest> openRequests;
    std::vector<CFileRequest> saveRequests;
    std::vector<QString> questions;
    std::vector<QMessageBox::StandardButton> defaults;  // of each question
    std::vector<QString> messages;

private:
    static std::optional<CFileChoice> Next(std::deque<CFileChoice>& queue) {
        if (queue.empty()) return std::nullopt;
        const CFileChoice next = queue.front();
        queue.pop_front();
        if (next.path.isEmpty()) return std::nullopt;
        return next;
    }
};
