#include "panel/main_form.h"

#include <QApplication>

namespace {

// "-name" or "/name", letters in any case; "=value" may follow where allowed.
bool isSwitch(const QString& arg, const QString& name, QString* value = nullptr) {
    if (arg.size() < 2 || (arg[0] != QLatin1Char('-') && arg[0] != QLatin1Char('/')))
        return false;
    const QString body = arg.mid(1);
    if (body.compare(name, Qt::CaseInsensitive) == 0)
        return true;
    if (value && body.startsWith(name + QLatin1Char('='), Qt::CaseInsensitive)) {
        *value = body.mid(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PG5400"));

    TMainForm::StartOptions options;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        QString model;
        if (isSwitch(arg, QStringLiteral("pick")))
            options.pick = true;
        else if (isSwitch(arg, QStringLiteral("demo")))
            options.demo = true;
        else if (isSwitch(arg, QStringLiteral("log")))
            options.log = true;
        else if (isSwitch(arg, QStringLiteral("simulate"), &model)) {
            options.simulate = true;
            options.simulateModel = model;
        }
    }

    auto* form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (!form->FormCreate(options)) {
        delete form;
        return 0;
    }
    form->show();
    return app.exec();
}
