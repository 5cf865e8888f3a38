#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "CueDeck.h"

class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class CCueModel;

// "Tessora Cues": the cue list as rows (number, first line, corners, note), the cue on air
// and the next one marked, a cue the unit would cut marked as the monitor marks cut rows. A
// tool window beside the main one; closing it only hides it. Every command it offers is
// handed to its owner.
class CCueWnd : public QWidget {
public:
    CCueWnd(QWidget* owner, const CueDeck& deck);
    ~CCueWnd() override;

    // Around a change of the list itself; the markers alone need MarkersChanged.
    void BeginReplace();
    void EndReplace();
    void MarkersChanged();
    // The automation line: held or not, and what fires next with its countdown.
    void TimedChanged();
    const QString& TimedText() const { return m_strTimed; }
    // The file's line above the list, and a message under it ("" for none).
    void SetMessage(const QString& message);
    const QString& Message() const { return m_strMessage; }

    // Its size as it first opens, and the smallest the desk gives it: room for the file's
    // line, a few rows and the hint.
    static QSize NaturalSize();
    static QSize SmallestSize();

    // A row's cue to take (Return or a double-click), the next to take, a marker move (1 on,
    // -1 back), the list to show no more, a file to open.
    std::function<void(int)> onTake;
    std::function<void(int)> onMove;
    std::function<void()> onToggle;
    // F4 or the button: hold all automation, or let it run again.
    std::function<void()> onHoldAutomation;
    std::function<void()> onOpen;
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const CueDeck& m_deck;
    CCueModel* m_pModel;
    QTableView* m_pTable;
    QLabel* m_pFile;
    QLabel* m_pMessage;
    QLabel* m_pHint;
    QLabel* m_pTimed;
    QPushButton* m_pHold;
    // Counts down what fires next while the window shows.
    QTimer* m_pCountdown;
    QString m_strMessage;
    QString m_strTimed;
};
