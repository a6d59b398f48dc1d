#include "velmoro/ui/SetPanelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include "common/ui/InputFilter.h"
#include "common/ui/ListColumns.h"
#include "common/ui/QtText.h"
#include "ui_MainWindow.h"

namespace zorva::velmoro {
namespace {

using ui::FromQ;
using ui::ToQ;

constexpr const char* kObjectColumns[] = {"ライブラリ", "オブジェクト", "タイプ", "保護", "圧縮"};

void Mirror(QAbstractButton& button, const PanelToggle& toggle) {
    button.setChecked(toggle.checked);
    button.setEnabled(toggle.enabled);
}

void Mirror(QLineEdit& edit, const PanelEdit& state) {
    if (edit.text() != ToQ(state.text)) edit.setText(ToQ(state.text));
    edit.setEnabled(state.enabled);
}

}  // namespace

SetPanelView::SetPanelView(Ui::MainWindow& ui, SetPanelState& panel, AgentState& state)
    : ui_(ui), panel_(panel), state_(state) {
    BuildObjectList();
    ui_.setSelector->lineEdit()->setMaxLength(static_cast<int>(kSelectorTextLimit));
    // The typed text is the set's name: completing it to a stored name would store over that set.
    ui_.setSelector->setCompleter(nullptr);
    for (QLineEdit* edit : {ui_.retentionEdit, ui_.monthDayEdit, ui_.saveTimeEdit}) {
        ui::InstallInputFilter(*edit, ui::InputFilterKind::Digits);
    }
    ConnectChoices();
}

void SetPanelView::BuildObjectList() {
    QTreeWidget& objects = *ui_.objectList;
    objects.setColumnCount(5);
    QStringList headers;
    for (const char* header : kObjectColumns) headers << ToQ(header);
    objects.setHeaderLabels(headers);
    ui::GiveWidthToNameColumns(objects, {0, 1});  // ライブラリ, オブジェクト
    objects.header()->setDefaultAlignment(Qt::AlignCenter);
}

void SetPanelView::ConnectChoices() {
    auto onClick = [this](QAbstractButton* button, auto rule) {
        QObject::connect(button, &QAbstractButton::clicked, button, [this, rule] {
            Read();
            rule();
            Show();
        });
    };
    onClick(ui_.dailyGroupRadio, [this] { OnDailyGroupClicked(panel_); });
    onClick(ui_.everyDayRadio, [this] { OnDailyGroupClicked(panel_); });
    onClick(ui_.weekdaysRadio, [this] { OnWeekdaysClicked(panel_); });
    onClick(ui_.monthlyGroupRadio, [this] { OnMonthlyGroupClicked(panel_); });
    onClick(ui_.pcStartRadio, [this] { OnStartMethodClicked(panel_, state_, StartMethod::Pc); });
    onClick(ui_.hostStartRadio,
            [this] { OnStartMethodClicked(panel_, state_, StartMethod::Host); });
    onClick(ui_.immediateRadio,
            [this] { OnStartMethodClicked(panel_, state_, StartMethod::Immediate); });
    // The monthly kinds behave as one group of their own.
    onClick(ui_.firstDayRadio, [this] {
        panel_.firstDay.checked = true;
        panel_.lastDay.checked = panel_.givenDay.checked = false;
    });
    onClick(ui_.lastDayRadio, [this] {
        panel_.lastDay.checked = true;
        panel_.firstDay.checked = panel_.givenDay.checked = false;
    });
    onClick(ui_.givenDayRadio, [this] {
        panel_.givenDay.checked = true;
        panel_.firstDay.checked = panel_.lastDay.checked = false;
    });
}

void SetPanelView::ListStoredSets() {
    ui_.setSelector->clear();
    for (const BackupSet& set : state_.sets.sets) ui_.setSelector->addItem(ToQ(set.setName));
    ui_.setSelector->setCurrentIndex(-1);
    ui_.setSelector->setEditText({});
}

void SetPanelView::AddSetName(const std::string& name) {
    ui_.setSelector->addItem(ToQ(name));
}

void SetPanelView::Read() {
    panel_.selectorText = FromQ(ui_.setSelector->currentText());
    panel_.description = FromQ(ui_.descriptionEdit->text());
    panel_.retention.text = FromQ(ui_.retentionEdit->text());
    panel_.monthDay.text = FromQ(ui_.monthDayEdit->text());
    panel_.saveTime.text = FromQ(ui_.saveTimeEdit->text());
    QCheckBox* boxes[] = {ui_.mondayBox, ui_.tuesdayBox,  ui_.wednesdayBox, ui_.thursdayBox,
                          ui_.fridayBox, ui_.saturdayBox, ui_.sundayBox};
    for (std::size_t i = 0; i < 7; ++i) panel_.weekdayBoxes[i].checked = boxes[i]->isChecked();
}

void SetPanelView::Show() {
    if (ui_.setSelector->currentText() != ToQ(panel_.selectorText)) {
        ui_.setSelector->setEditText(ToQ(panel_.selectorText));
    }
    if (ui_.descriptionEdit->text() != ToQ(panel_.description)) {
        ui_.descriptionEdit->setText(ToQ(panel_.description));
    }
    Mirror(*ui_.pcStartRadio, panel_.pcStart);
    Mirror(*ui_.hostStartRadio, panel_.hostStart);
    Mirror(*ui_.immediateRadio, panel_.immediate);
    Mirror(*ui_.dailyGroupRadio, panel_.dailyGroup);
    Mirror(*ui_.everyDayRadio, panel_.everyDay);
    Mirror(*ui_.weekdaysRadio, panel_.weekdays);
    Mirror(*ui_.retentionEdit, panel_.retention);
    QCheckBox* boxes[] = {ui_.mondayBox, ui_.tuesdayBox,  ui_.wednesdayBox, ui_.thursdayBox,
                          ui_.fridayBox, ui_.saturdayBox, ui_.sundayBox};
    for (std::size_t i = 0; i < 7; ++i) Mirror(*boxes[i], panel_.weekdayBoxes[i]);
    Mirror(*ui_.monthlyGroupRadio, panel_.monthlyGroup);
    Mirror(*ui_.firstDayRadio, panel_.firstDay);
    Mirror(*ui_.lastDayRadio, panel_.lastDay);
    Mirror(*ui_.givenDayRadio, panel_.givenDay);
    Mirror(*ui_.monthDayEdit, panel_.monthDay);
    Mirror(*ui_.saveTimeEdit, panel_.saveTime);
    if (locked_) Lock(true);
}

void SetPanelView::ShowObjects(const BackupSet& set) {
    ui_.objectList->clear();
    for (const ObjectRow& row : set.rows) {
        if (row.library.empty()) break;
        auto* item =
            new QTreeWidgetItem(QStringList{ToQ(row.library), ToQ(row.object), ToQ(row.type),
                                            ToQ(ProtectionText(row)), ToQ(CompressionText(row))});
        ui::CenterAllColumns(*item);
        ui_.objectList->addTopLevelItem(item);
    }
}

void SetPanelView::FocusOn(PanelFocus focus) {
    QWidget* target = nullptr;
    switch (focus) {
        case PanelFocus::None:
            return;
        case PanelFocus::SetSelector:
            target = ui_.setSelector;
            break;
        case PanelFocus::Retention:
            target = ui_.retentionEdit;
            break;
        case PanelFocus::Weekdays:
            target = ui_.weekdaysRadio;
            break;
        case PanelFocus::MonthDay:
            target = ui_.monthDayEdit;
            break;
        case PanelFocus::SaveTime:
            target = ui_.saveTimeEdit;
            break;
        case PanelFocus::StoreButton:
            target = ui_.storeButton;
            break;
        case PanelFocus::ConnectionButton:
            target = ui_.connectionButton;
            break;
    }
    target->setFocus(Qt::OtherFocusReason);
}

void SetPanelView::Lock(bool locked) {
    locked_ = locked;
    QWidget* controls[] = {ui_.setSelector,      ui_.descriptionEdit, ui_.objectsButton,
                           ui_.startMethodGroup, ui_.scheduleGroup,   ui_.objectList};
    for (QWidget* control : controls) control->setEnabled(!locked);
}

// A name typed but not stored yet has nothing to show: the programs then open as on their own.
std::string SetPanelView::ChosenStoredSet() const {
    const std::string name = FromQ(ui_.setSelector->currentText());
    return FindSetByName(state_.sets, name) >= 0 ? name : std::string();
}

}  // namespace zorva::velmoro
