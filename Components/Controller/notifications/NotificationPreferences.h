#pragma once
// "Notification Preferences": the applets whose notifications the user
// receives, one owner-drawn row with a check box per notification target.

#include "Components/Controller/notifications/Notifications.h"

#include <QDialog>
#include <QPixmap>
#include <QWidget>

#include <string>
#include <vector>

class TNotifyPrefList : public QWidget
{
public:
    struct TRow
    {
        std::string Caption;
        int32_t ImageIndex = -1;
        bool Checked = true;
    };
    explicit TNotifyPrefList(QWidget* Parent = nullptr);

    std::vector<TRow> Rows;
    const std::vector<QPixmap>* Icons = nullptr;
    int32_t Selected = -1;
    static constexpr int RowHeight = 24;
    void Toggle(int32_t Index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
};

class TfrmNotificationPreferences : public QDialog
{
public:
    explicit TfrmNotificationPreferences(QWidget* Parent = nullptr);
    TNotifyPrefList* List() { return m_list; }

private:
    TNotifyPrefList* m_list;
};

// Shows the dialog for the targets; on OK copies each row's check to its
// target's allowed flag and returns true. Exec runs the dialog (tests
// answer it); null: the dialog's own exec.
bool ExecNotifySetup(TNotifyTargets& Targets, const std::vector<QPixmap>* Icons, QWidget* Parent = nullptr,
                     const std::function<int(TfrmNotificationPreferences&)>& Exec = nullptr);
