#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CaptionDisplay.h"
#include "SendPreview.h"

class CUnitGridView;
class QLabel;

// The unit monitor: beside each other, what the next Send would put on the unit and what
// the unit shows now, as decoded from the bytes the line has taken. A tool window over the
// main window: it never takes the keyboard, and closing it only hides it.
class CMonitorWnd : public QWidget {
public:
    explicit CMonitorWnd(QWidget* owner);

    // The grids' font sizes, the natural one first, down to the smallest still legible.
    static std::vector<int> FontSizes();
    // The window's size at each of these font sizes, with the texts it holds now.
    std::vector<QSize> InnerSizes(const std::vector<int>& pixels);
    void SetGridPixels(int pixels);
    int GridPixels() const { return m_nGridPixels; }

    void ShowNextSend(const SendPreview& preview);
    // lineText is "" on a live line, else why nothing reaches the unit; clockText is "" while
    // the stamps' clock can be trusted.
    void ShowUnit(const CCaptionDisplay& display, const std::string& lineText,
                  const std::string& clockText);

    // The backup line's state (UTF-8), under the main line's; "" hides it.
    void ShowBackup(const std::string& text);

    // Called when the operator closes the window.
    std::function<void()> onClosed;

    const CUnitGridView& NextSendGrid() const { return *m_pNext; }
    const CUnitGridView& UnitGrid() const { return *m_pUnit; }
    // The warning and rows under "Next Send", and the line's state and the clock's warning
    // under "On the unit".
    const QString& DroppedText() const { return m_strDropped; }
    const QString& LineText() const { return m_strLine; }
    const QString& ClockText() const { return m_strClock; }
    const QString& BackupText() const { return m_strBackup; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shows a line's state under the grid, as wide as the grid at most; "" hides it.
    void ShowNote(QLabel& label, const QString& text);

    CUnitGridView* m_pNext;
    CUnitGridView* m_pUnit;
    QLabel* m_pDropped;
    QLabel* m_pLine;
    QLabel* m_pBackup;
    QLabel* m_pClock;
    QString m_strDropped;
    QString m_strLine;
    QString m_strBackup;
    QString m_strClock;
    int m_nGridPixels = 0;
};
