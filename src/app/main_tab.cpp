#include "app/main_tab.h"

#include <QGroupBox>

MainTab::MainTab(const TabContext &context, const QString &objectName, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    setObjectName(objectName);
}

QList<QWidget *> MainTab::plcControls() const
{
    QList<QWidget *> controls;
    for (const QPointer<QWidget> &control : m_plcControls) {
        if (control)
            controls.append(control);
    }
    return controls;
}

QGroupBox *MainTab::makeFrame(const QString &name, const QString &caption, QSize minimum)
{
    auto *frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    frame->setMinimumSize(minimum);
    QSizePolicy policy = frame->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    frame->setSizePolicy(policy);
    return frame;
}

void MainTab::addPlcControl(QWidget *control)
{
    m_plcControls.append(control);
}

void MainTab::addMenuUpload(std::function<void()> upload)
{
    m_menuUploads.append(std::move(upload));
}
