// SPDX-License-Identifier: MIT
#pragma once
#include <QString>
#include <exception>

// An error that ends a user command and is reported by the main window in one message box.
class EMarloError : public std::exception {
public:
    explicit EMarloError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// The error of a save that could not write its file, whatever the file's format.
inline EMarloError CannotCreateFileError(const QString& path)
{
    return EMarloError(QStringLiteral("ファイル %1 を作成できません").arg(path));
}
