#include "controls/message_form.h"

#include "controls/panel_font.h"
#include "controls/work_screen.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TMessageForm::TMessageForm(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("MessageForm"));
    setWindowTitle(QStringLiteral("Message"));
    setFont(layout::PanelFont(11));
    setFixedSize(326, 100);

    MessageLabel = new QLabel(QStringLiteral("Loading. Please wait..."), this);
    MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
    MessageLabel->setGeometry(2, 30, 320, 39);
    MessageLabel->setFont(layout::PanelFont(32));

    CentreOnWorkScreen(this);
}
