#include "search/ui/TFileFindForm.h"

#include "settings/ui/LanguageForms.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TElementsList.h"
#include "mainwindow/ui/TFileListModel.h"
#include "periphery/ExecModal.h"
#include "recovery/ui/TRecoveryForm.h"
#include "search/TFileSearch.h"
#include "util/TUserPrompt.h"
#include "viewers/ui/TFilePropertiesForm.h"
#include "periphery/TWindowSizeMemory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int MinimumWidth = 600;
constexpr int MinimumHeight = 250;

template<typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), name);
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& text)
{
    return named(new QCheckBox(text, parent), name);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = named(new QPushButton(text, parent), name);
    button->setAutoDefault(false);
    return button;
}

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = named(new QComboBox(parent), name);
    list->addItems(items);
    list->setCurrentIndex(-1);
    return list;
}

QDateTimeEdit* makePicker(QWidget* parent, const char* name)
{
    auto* picker = named(new QDateTimeEdit(QDateTime(QDate(2004, 10, 22), QTime(12, 20, 42)), parent), name);
    picker->setCalendarPopup(true);
    // The whole date and time stays readable, with room for the calendar button; the
    // window grows instead.
    const QFontMetrics metrics(picker->font());
    picker->setMinimumWidth(metrics.horizontalAdvance(picker->text() + QLatin1Char('0')) +
                            picker->sizeHint().height() + 8);
    // The locale's short date and time, with seconds: both ends are full date-times.
    QString format = QLocale().dateTimeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("ss")))
        format.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    picker->setDisplayFormat(format);
    return picker;
}

TDateTime pickerValue(const QDateTimeEdit* picker)
{
    const QDateTime value = picker->dateTime();
    return EncodeDateTime(value.date(), value.time());
}

// Fields take the window's background when they can be edited and the button face when
// they cannot, so a disabled criterion reads as switched off.
void colourField(QWidget* field)
{
    QPalette palette = field->palette();
    const QPalette standard = field->window()->palette();
    palette.setColor(QPalette::Base,
                     field->isEnabled() ? standard.color(QPalette::Base) : standard.color(QPalette::Button));
    field->setPalette(palette);
}

} // namespace

TFileFindForm::TFileFindForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FileFindForm"));
    setWindowTitle(QStringLiteral("Find File"));
    setSizeGripEnabled(true);

    FilenameLabel = makeLabel(this, "FilenameLabel", QStringLiteral("File name:"));
    FilenameEdit = named(new QLineEdit(this), "FilenameEdit");
    FilenameLabel->setBuddy(FilenameEdit);
    IdLabel = makeLabel(this, "IdLabel", QStringLiteral("Id:"));
    IdEdit = named(new QLineEdit(this), "IdEdit");
    IdLabel->setBuddy(IdEdit);

    DateBetweenCheckBox = makeCheckBox(this, "DateBetweenCheckBox", QStringLiteral("Date between:"));
    DateStartDateTimePicker = makePicker(this, "DateStartDateTimePicker");
    DateLabel = makeLabel(this, "DateLabel", QStringLiteral("and"));
    DateEndDateTimePicker = makePicker(this, "DateEndDateTimePicker");

    AgeCheckBox = makeCheckBox(this, "AgeCheckBox", QStringLiteral("Not older than:"));
    AgeSpinEdit = named(new QSpinBox(this), "AgeSpinEdit");
    AgeSpinEdit->setRange(0, 9999);
    AgeComboBox =
        makeList(this, "AgeComboBox",
                 {QStringLiteral("Minute(s)"), QStringLiteral("Hour(s)"), QStringLiteral("Day(s)"),
                  QStringLiteral("Week(s)"), QStringLiteral("Month(s)"), QStringLiteral("Year(s)")});

    SizeCheckBox = makeCheckBox(this, "SizeCheckBox", QStringLiteral("File size:"));
    SizeSignComboBox =
        makeList(this, "SizeSignComboBox", {QStringLiteral("="), QStringLiteral(">"), QStringLiteral("<")});
    SizeValueSpinEdit = named(new QSpinBox(this), "SizeValueSpinEdit");
    SizeValueSpinEdit->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    SizeUnitComboBox =
        makeList(this, "SizeUnitComboBox",
                 {QStringLiteral("Bytes"), QStringLiteral("KBytes"), QStringLiteral("MBytes")});

    SearchOnlyDeletedCheckBox =
        makeCheckBox(this, "SearchOnlyDeletedCheckBox", QStringLiteral("Search only deleted files"));

    StartButton = makeButton(this, "StartButton", QStringLiteral("&Start"));
    StartButton->setAutoDefault(true);
    StartButton->setDefault(true);
    CancelButton = makeButton(this, "CancelButton", QStringLiteral("&Cancel"));
    StopButton = makeButton(this, "StopButton", QStringLiteral("&Stop"));
    StopButton->hide();
    HelpButton = makeButton(this, "HelpButton", QStringLiteral("&Help"));

    ResultsLabel = makeLabel(this, "ResultsLabel", QStringLiteral("Search results:"));
    m_results = new TFileListModel(this);
    ResultsListView = named(new QTreeView(this), "ResultsListView");
    ResultsListView->setModel(m_results);
    ResultsListView->setRootIsDecorated(false);
    ResultsListView->setItemsExpandable(false);
    ResultsListView->setUniformRowHeights(true);
    ResultsListView->setAllColumnsShowFocus(true);
    ResultsListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ResultsListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultsListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultsListView->setContextMenuPolicy(Qt::CustomContextMenu);
    ResultsListView->header()->setStretchLastSection(false);
    ResultsLabel->setBuddy(ResultsListView);
    const int widths[TFileListModel::ColumnCount] = {200, 70, 100, 130, 60, 130};
    for (int c = 0; c < TFileListModel::ColumnCount; ++c)
        ResultsListView->setColumnWidth(c, widths[c]);

    StatusBar = named(new QStatusBar(this), "StatusBar");
    StatusBar->setSizeGripEnabled(false);
    for (int panel = 0; panel < 2; ++panel) {
        m_statusPanels[panel] = new QLabel(StatusBar);
        m_statusPanels[panel]->setObjectName(QStringLiteral("StatusPanel%1").arg(panel));
        m_statusPanels[panel]->setTextFormat(Qt::PlainText);
    }
    m_statusPanels[0]->setMinimumWidth(100);
    m_statusPanels[1]->setMinimumWidth(1);
    StatusBar->addWidget(m_statusPanels[0]);
    StatusBar->addWidget(m_statusPanels[1], 1);

    // The pop-up menu: the viewer entries are kept for language files but never shown.
    FilesPopupMenu = named(new QMenu(this), "FilesPopupMenu");
    for (const char* hidden : {"&View...", "View as &Text...", "View as &Hex..."})
        FilesPopupMenu->addAction(QString::fromLatin1(hidden))->setVisible(false);
    FilesPopupMenu->addSeparator()->setVisible(false);
    auto menuItem = [this](const char* name, const QString& caption, const QList<QKeySequence>& keys) {
        QAction* action = FilesPopupMenu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        // The keys act while the results list has the focus; elsewhere Enter starts a search.
        action->setShortcutContext(Qt::WidgetShortcut);
        ResultsListView->addAction(action);
        return action;
    };
    miFileGoTo = menuItem("miFileGoTo", QStringLiteral("&Go to file"),
                          {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    FilesPopupMenu->setDefaultAction(miFileGoTo);
    miFileRecover =
        menuItem("miFileRecover", QStringLiteral("Recover..."), {QKeySequence(Qt::CTRL | Qt::Key_S)});
    miFileProperties =
        menuItem("miFileProperties", QStringLiteral("Properties..."),
                 {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});

    // The criteria in a grid, the buttons to the right, the results below: longer texts
    // (another language) widen the columns instead of overlapping.
    auto* criteria = new QGridLayout;
    criteria->setColumnStretch(4, 1);
    criteria->addWidget(FilenameLabel, 0, 0);
    criteria->addWidget(FilenameEdit, 0, 1, 1, 4);
    criteria->addWidget(IdLabel, 1, 0);
    criteria->addWidget(IdEdit, 1, 1, 1, 2);
    criteria->addWidget(DateBetweenCheckBox, 2, 0);
    criteria->addWidget(DateStartDateTimePicker, 2, 1);
    criteria->addWidget(DateLabel, 2, 2, Qt::AlignCenter);
    criteria->addWidget(DateEndDateTimePicker, 2, 3);
    criteria->addWidget(AgeCheckBox, 3, 0);
    auto* age = new QHBoxLayout;
    age->addWidget(AgeSpinEdit);
    age->addWidget(AgeComboBox);
    age->addStretch(1);
    criteria->addLayout(age, 3, 1, 1, 4);
    criteria->addWidget(SizeCheckBox, 4, 0);
    auto* size = new QHBoxLayout;
    size->addWidget(SizeSignComboBox);
    size->addWidget(SizeValueSpinEdit);
    size->addWidget(SizeUnitComboBox);
    size->addStretch(1);
    criteria->addLayout(size, 4, 1, 1, 4);
    criteria->addWidget(SearchOnlyDeletedCheckBox, 5, 0, 1, 5);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(HelpButton);
    buttons->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addLayout(criteria, 1);
    top->addSpacing(12);
    top->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(ResultsLabel);
    layout->addWidget(ResultsListView, 1);
    layout->addWidget(StatusBar);

    // The first and least sizes grow when the texts (another language) need more room.
    layout->activate();
    setMinimumSize(minimumSizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
    resize(QSize(600, 500).expandedTo(minimumSize()));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    connect(StartButton, &QPushButton::clicked, this, &TFileFindForm::StartButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TFileFindForm::StopButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TFileFindForm::reject);
    for (QCheckBox* box : {DateBetweenCheckBox, AgeCheckBox, SizeCheckBox, SearchOnlyDeletedCheckBox})
        connect(box, &QCheckBox::clicked, this, &TFileFindForm::CheckState);
    connect(miFileGoTo, &QAction::triggered, this, &TFileFindForm::miFileGoToClick);
    connect(miFileRecover, &QAction::triggered, this, &TFileFindForm::miFileRecoverClick);
    connect(miFileProperties, &QAction::triggered, this, &TFileFindForm::miFilePropertiesClick);
    connect(ResultsListView, &QTreeView::clicked, this, &TFileFindForm::ResultsListViewClick);
    connect(ResultsListView, &QTreeView::pressed, this, &TFileFindForm::ResultsListViewMouseDown);
    connect(ResultsListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFileFindForm::ResultsListViewSelectItem);
    connect(ResultsListView, &QTreeView::doubleClicked, this, &TFileFindForm::miFileGoToClick);
    connect(ResultsListView, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
        CheckState();
        FilesPopupMenu->popup(ResultsListView->viewport()->mapToGlobal(at));
    });

    FormCreate();
    // The chosen language replaces the built-in texts.
    // The size the user left the window with.
    TWindowSizeMemory::Keep(this);
    UpdateLanguage(this);
}

TFileFindForm::~TFileFindForm() = default;

// ---- Handlers ----------------------------------------------------------------------------

void TFileFindForm::FormCreate()
{
    Searching = false;
    Stop = false;
    GotoElement = nullptr;
    FilenameEdit->setFocus();
    CheckState();
}

bool TFileFindForm::FormCanResize(int newWidth, int newHeight) const
{
    return newWidth >= minimumWidth() && newHeight >= minimumHeight();
}

void TFileFindForm::CheckState()
{
    const bool s = Searching;
    StopButton->setEnabled(s);
    StopButton->setVisible(s);
    CancelButton->setEnabled(!s);
    CancelButton->setVisible(!s);
    for (QWidget* w : std::initializer_list<QWidget*>{StartButton, FilenameLabel, FilenameEdit, IdLabel,
                                                      IdEdit, DateBetweenCheckBox, AgeCheckBox, SizeCheckBox,
                                                      SearchOnlyDeletedCheckBox})
        w->setEnabled(!s);
    for (QWidget* w : {static_cast<QWidget*>(DateStartDateTimePicker), static_cast<QWidget*>(DateLabel),
                       static_cast<QWidget*>(DateEndDateTimePicker)})
        w->setEnabled(!s && DateBetweenCheckBox->isChecked());
    AgeSpinEdit->setEnabled(!s && AgeCheckBox->isChecked());
    AgeComboBox->setEnabled(!s && AgeCheckBox->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(SizeSignComboBox), static_cast<QWidget*>(SizeValueSpinEdit),
                       static_cast<QWidget*>(SizeUnitComboBox)})
        w->setEnabled(!s && SizeCheckBox->isChecked());

    const bool selected = SelectedElement() != nullptr;
    miFileGoTo->setEnabled(selected && !s);
    miFileRecover->setEnabled(selected);
    miFileProperties->setEnabled(selected);

    for (QWidget* field : std::initializer_list<QWidget*>{
             FilenameEdit, IdEdit, DateStartDateTimePicker, DateEndDateTimePicker, AgeSpinEdit, AgeComboBox,
             SizeSignComboBox, SizeValueSpinEdit, SizeUnitComboBox})
        colourField(field);
}

TSearchCriteria TFileFindForm::Criteria() const
{
    TSearchCriteria c;
    c.Mask = FilenameEdit->text();
    c.IdText = IdEdit->text();
    c.DateBetween = DateBetweenCheckBox->isChecked();
    c.DateStart = pickerValue(DateStartDateTimePicker);
    c.DateEnd = pickerValue(DateEndDateTimePicker);
    c.Age = AgeCheckBox->isChecked();
    c.AgeValue = AgeSpinEdit->value();
    c.AgeUnit = AgeComboBox->currentIndex();
    c.Size = SizeCheckBox->isChecked();
    c.SizeSign = SizeSignComboBox->currentIndex();
    c.SizeValue = SizeValueSpinEdit->value();
    c.SizeUnit = SizeUnitComboBox->currentIndex();
    c.OnlyDeleted = SearchOnlyDeletedCheckBox->isChecked();
    return c;
}

void TFileFindForm::StartButtonClick()
{
    if (Searching)
        return;
    Searching = true;
    CheckState();
    // However the search ends, the window returns to idle, and a close asked for during
    // the search happens now.
    struct TIdle
    {
        TFileFindForm& form;
        ~TIdle()
        {
            form.Searching = false;
            form.Stop = false;
            form.CheckState();
            if (form.m_closePending) {
                form.m_closePending = false;
                form.QDialog::reject();
            }
        }
    } idle{*this};

    if (!CurDisk)
        return;
    m_pending.clear();
    m_results->Clear();
    Stop = false;
    TFileSearch search(Criteria(), *this);
    const QString failure = search.Run(*CurDisk);
    if (!failure.isEmpty()) {
        m_pending.clear();
        m_results->Clear();
        for (QLabel* panel : m_statusPanels)
            panel->clear();
        TUserPrompt::Current().ShowError(failure);
        return;
    }
    flushResults();
}

void TFileFindForm::StopButtonClick()
{
    Stop = true;
}

void TFileFindForm::miFileGoToClick()
{
    // Going to a hit ends the window, which a running search must not see happen.
    if (Searching)
        return;
    if (TBaseElement* element = SelectedElement()) {
        GotoElement = element;
        accept();
    }
}

void TFileFindForm::miFileRecoverClick()
{
    const std::vector<TBaseElement*> elements = selectedElements();
    if (elements.empty())
        return;
    TElementsList list;
    for (TBaseElement* element : elements)
        list.SetItem(element);
    StartRecoveryWizard(list, this);
    CheckState();
}

void TFileFindForm::miFilePropertiesClick()
{
    if (TBaseElement* element = SelectedElement())
        ShowFileProperties(element, this);
    CheckState();
}

void TFileFindForm::ResultsListViewClick()
{
    CheckState();
}

void TFileFindForm::ResultsListViewSelectItem()
{
    CheckState();
}

void TFileFindForm::ResultsListViewMouseDown()
{
    CheckState();
}

void TFileFindForm::reject()
{
    if (Searching) {
        m_closePending = true;
        return;
    }
    QDialog::reject();
}

void TFileFindForm::keyPressEvent(QKeyEvent* event)
{
    // While a search runs, Esc is the Stop button's.
    if (Searching && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        StopButtonClick();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Results and the search's reports ----------------------------------------------------

std::vector<TBaseElement*> TFileFindForm::selectedElements() const
{
    QModelIndexList rows = ResultsListView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TBaseElement*> elements;
    elements.reserve(size_t(rows.size()));
    for (const QModelIndex& row : rows)
        if (TBaseElement* element = m_results->ElementAt(row.row()))
            elements.push_back(element);
    return elements;
}

TBaseElement* TFileFindForm::SelectedElement() const
{
    const QModelIndexList rows = ResultsListView->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& row : rows)
        if (first < 0 || row.row() < first)
            first = row.row();
    return first >= 0 ? m_results->ElementAt(first) : nullptr;
}

QString TFileFindForm::StatusText(int panel) const
{
    return panel >= 0 && panel < 2 ? m_statusPanels[panel]->text() : QString();
}

void TFileFindForm::AddResult(TBaseElement* element)
{
    m_pending.push_back(element);
}

void TFileFindForm::flushResults()
{
    m_results->AppendElements(m_pending);
    m_pending.clear();
}

void TFileFindForm::ShowStatus(const QString& progress, const QString& detail)
{
    m_statusPanels[0]->setText(progress);
    m_statusPanels[1]->setText(detail);
}

void TFileFindForm::PumpMessages()
{
    flushResults();
    QCoreApplication::processEvents();
}

bool TFileFindForm::TakeStop()
{
    if (m_closePending)
        return true;
    if (!Stop)
        return false;
    Stop = false;
    return true;
}

// ---- Entry -------------------------------------------------------------------------------

TBaseElement* FindFile(QWidget* parent)
{
    TFileFindForm form(parent);
    return ExecModal(form) == QDialog::Accepted ? form.GotoElement : nullptr;
}
