#pragma once
// Parts the sample applet libraries share: a form that shows what the host
// gave its applet (caption, mode, parameters).

#include "Components/Controller/ovnAppletApi.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace Samples {

// A label with an object name, so that tests and the gallery find it.
inline QLabel* NamedLabel(QWidget* Parent, const char* Name, QLayout* Layout)
{
    auto* label = new QLabel(Parent);
    label->setObjectName(Name);
    Layout->addWidget(label);
    return label;
}

inline QPushButton* NamedButton(QWidget* Parent, const char* Name, const char* Caption, QLayout* Layout)
{
    auto* button = new QPushButton(QString::fromUtf8(Caption), Parent);
    button->setObjectName(Name);
    Layout->addWidget(button);
    return button;
}

// A line edit with an object name, a first text and a hint.
inline QLineEdit* NamedEdit(QWidget* Parent, const char* Name, const char* Text, const char* Hint, QLayout* Layout)
{
    auto* edit = new QLineEdit(QString::fromUtf8(Text), Parent);
    edit->setObjectName(Name);
    edit->setPlaceholderText(QString::fromUtf8(Hint));
    Layout->addWidget(edit);
    return edit;
}

// Fills the three labels from the applet.
inline void ShowAppletFacts(const TovnApplet& Applet, QLabel* Caption, QLabel* Mode, QLabel* Params)
{
    Caption->setText(QString::fromStdString("Caption: " + Applet.Caption));
    Mode->setText(QString::fromStdString("Mode: " + std::to_string(Applet.Mode)));
    Params->setText(QString::fromStdString("Parameters: " + Applet.Params.CommaText()));
}

} // namespace Samples
