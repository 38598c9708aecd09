// The alert box: rich text built from the alert's font runs, and a row of buttons.
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "kit/qt/Registry.h"

namespace kit::qt {

namespace {

QString Escaped(const std::string& text, int32 start, int32 end) {
    QString part = QString::fromUtf8(text.data() + start, end - start).toHtmlEscaped();
    return part.replace('\n', QStringLiteral("<br>"));
}

QString AlertHtml(const std::string& text, std::vector<FontRun> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const FontRun& a, const FontRun& b) { return a.start < b.start; });
    const int32 length = static_cast<int32>(text.size());
    QString html;
    int32 at = 0;
    for (const FontRun& run : runs) {
        const int32 start = std::clamp(run.start, at, length);
        const int32 end = std::clamp(run.end, start, length);
        html += Escaped(text, at, start);
        html += QStringLiteral("<span style=\"font-size:%1px\">").arg(run.size);
        html += Escaped(text, start, end) + QStringLiteral("</span>");
        at = end;
    }
    return html + Escaped(text, at, length);
}

class AlertBox : public QDialog {
public:
    AlertBox(const AlertSpec& description, std::shared_ptr<AlertOutcome> outcome)
        : fOutcome(std::move(outcome)),
          fButtonCount(static_cast<int32>(description.buttons.size())) {
        setWindowTitle(QString::fromStdString(description.title));
        setWindowModality(Qt::ApplicationModal);
        setProperty(kAlertProperty, true);
        auto* column = new QVBoxLayout(this);
        auto* text = new QLabel(AlertHtml(description.text, description.runs), this);
        text->setObjectName("text");
        text->setTextFormat(Qt::RichText);
        column->addWidget(text);
        auto* row = new QHBoxLayout();
        row->addStretch();
        for (int32 index = 0; index < fButtonCount; ++index) {
            auto* button =
                new QPushButton(QString::fromStdString(description.buttons[index]), this);
            connect(button, &QPushButton::clicked, this, [this, index] { Press(index); });
            // Enter presses the last button, the usual one.
            button->setDefault(index == fButtonCount - 1);
            row->addWidget(button);
        }
        column->addLayout(row);
    }

    void Press(int32 index) {
        fOutcome->Press(index);
        hide();
        deleteLater();
    }

protected:
    // Escape and the close box press a lone button.
    void reject() override {
        if (fButtonCount == 1)
            Press(0);
    }

private:
    const std::shared_ptr<AlertOutcome> fOutcome;
    const int32 fButtonCount;
};

}  // namespace

void ShowAlert(PeerId id, AlertSpec description, std::shared_ptr<AlertOutcome> outcome) {
    Post([id, description = std::move(description), outcome = std::move(outcome)] {
        auto* box = new AlertBox(description, outcome);
        RegisterPeer(id, box);
        box->show();
    });
}

}  // namespace kit::qt
