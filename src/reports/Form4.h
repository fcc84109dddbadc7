// The report window: pick one of the five reports and preview it.
#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace Reports {
class Report;
}

class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    // How a report is shown: by default the modal print preview owned by the report window.
    // Tests put in a function that records the report instead. An empty function restores
    // the print preview.
    using Previewer = std::function<void(QWidget* owner, const Reports::Report& report)>;
    static void setPreviewer(Previewer previewer);
    // The modal print preview, landscape, captioned with the design's caption.
    static void showPrintPreview(QWidget* owner, const Reports::Report& report);

private:
    void Form_Load();
    void PushButton1_Click();
    void PushButton2_Click();

    QLabel* m_label1;
    QComboBox* m_combo1;
    QPushButton* m_pushButton1;
    QPushButton* m_pushButton2;
};
