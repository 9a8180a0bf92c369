// The form names of the two windows and what they are called in the code.
//
// The windows were first described as forms of named components (Edit1,
// Button1, N3...) whose handlers were named after them (Button1Click). Those
// names tell a reader nothing, so the code uses names that say what a control
// or handler does. This table is the one place that maps each form name to
// the code, so that both stay findable by a plain text search. The window
// classes (TForm1, TForm3) and the state names (ListedServer, SortedColumn,
// Descending, ActiveCount, ProcessListMode, HistoryEncoding,
// FRegisteredSessionNotification) are the same in both.
#pragma once

namespace tarvenix {

struct FormName {
    const char* form;  // the name in the form
    const char* code;  // where it lives in the code
};

inline constexpr FormName kMainFormNames[] = {
    // TForm1: app/main_window.h (MainWindow)
    {"TForm1", "MainWindow, window class L\"TForm1\""},
    {"Panel1", "MainWindow::Panels::serverStrip"},
    {"Label1", "ServerBox::Label()"},
    {"Edit1", "ServerBox::Combo(), kIdServerBox"},
    {"sSpeedButtonTXT", "ServerBox::FromFileButton(), kCmdServersFromFile"},
    {"sSpeedButtonAD", "ServerBox::FromDirectoryButton(), kCmdServersFromDirectory"},
    {"Button1", "SessionList::GetDataButton(), kCmdGetData"},
    {"Label15", "SessionList::SessionCountCaption()"},
    {"Label16", "SessionList::SessionCountLabel()"},
    {"Label13", "SessionList::ActiveCountCaption()"},
    {"Label14", "SessionList::ActiveCountLabel()"},
    {"Panel_Main", "MainWindow::Panels::sessionPart"},
    {"Panel4", "MainWindow::Panels::sessionFrame"},
    {"Panel6", "MainWindow::Panels::sessionHeader"},
    {"Label8", "MainWindow::Panels::sessionHeaderLabel"},
    {"Panel5", "MainWindow::Panels::sessionButtons"},
    {"BtnGetAll", "ProcessPanel::AllProcessesButton(), kCmdAllProcesses"},
    {"BtnCloseAll", "LogoffCommands::LogoffAllButton(), kCmdLogoffAll"},
    {"ListView1", "SessionList::List(), kIdSessionList"},
    {"Panel_Right", "ProcessPanel::Panel()"},
    {"Panel10", "ProcessPanel::Header()"},
    {"LabelUser", "ProcessPanel::UserLabel()"},
    {"sSpeedButton1", "ProcessPanel::RefreshButton(), kCmdRefreshProcesses"},
    {"Button3", "ProcessPanel::CloseButton(), kCmdCloseProcessPanel"},
    {"Panel11", "ProcessPanel::Footer()"},
    {"Label11", "ProcessPanel::CountLabel()"},
    {"ListView3", "ProcessPanel::List(), kIdProcessList"},
    {"Panel3", "MainWindow::Panels::footer"},
    {"Panel2", "MainWindow::Panels::footerRight"},
    {"Label2", "MainWindow::Panels::makerLink, kIdMakerLink"},
    {"PopupMenu1", "MainWindow::SessionMenu(), built from the features' AddMenuItems"},
    {"N1", "LogoffCommands::AddMenuItems, the sub-menu \"Завершить сессию (-и)\""},
    {"N3", "kCmdLogoffSelected"},
    {"N4", "kCmdShadow"},
    {"J1", "kCmdSendMessage"},
    {"N2", "kCmdSessionProcesses"},
    {"PopupMenu3", "ProcessPanel::Menu()"},
    {"N6", "ProcessPanel::CreatePanel, the sub-menu \"Завершить процесс\""},
    {"M2", "kCmdTerminateProcess"},
    // Handlers
    {"FormCreate", "MainWindow::FormCreate"},
    {"FormShow", "MainWindow::FormShow (ServerBox::Restore)"},
    {"FormClose", "MainWindow::FormClose (ServerBox::Save)"},
    {"FormDestroy", "MainWindow::FormDestroy"},
    {"Button1Click", "SessionList::GetData"},
    {"EnumSessions", "SessionList::ListSessions"},
    {"ListView1Compare", "CompareRowsBy (base/list_ordering.h)"},
    {"ListView1ColumnClick", "ReportList::ColumnClicked"},
    {"ListView3ColumnClick", "ReportList::ColumnClicked"},
    {"ListView1CustomDrawItem", "SessionList::RowBackground"},
    {"N3Click", "LogoffCommands::LogOffSelected"},
    {"BtnCloseAllClick", "LogoffCommands::LogOffAll"},
    {"N4Click", "ShadowCommand::Shadow"},
    {"J1Click", "MessageWindow::ShowModal"},
    {"N2Click", "ProcessPanel::ListSessionProcesses"},
    {"BtnGetAllClick", "ProcessPanel::ListAllProcesses"},
    {"sSpeedButton1Click", "ProcessPanel::Refresh"},
    {"Button3Click", "ProcessPanel::ClosePanel"},
    {"M2Click", "ProcessPanel::TerminateSelected"},
    {"ListProcesses", "ProcessPanel::ListProcesses"},
    {"Edit1KeyDown", "ServerBox::OnKeyDown"},
    {"sSpeedButtonTXTClick", "ServerBox::LoadFromFile"},
    {"sSpeedButtonADClick", "ServerBox::LoadFromDirectory"},
    {"Label2Click", "MainWindow::OpenMakerSite"},
};

inline constexpr FormName kMessageFormNames[] = {
    // TForm3: actions/message_window.h (MessageWindow)
    {"TForm3", "MessageWindow, window class L\"TForm3\""},
    {"Panel1", "MessageWindow::Panel()"},
    {"Label1", "MessageWindow::SubjectLabel()"},
    {"Edit1", "MessageWindow::SubjectBox(), kIdSubjectBox"},
    {"Label2", "MessageWindow::TextLabel()"},
    {"Memo1", "MessageWindow::TextBox(), kIdTextBox"},
    {"sSpeedButton1", "MessageWindow::SaveTemplateButton(), kIdSaveTemplateButton"},
    {"sSpeedButton2", "MessageWindow::LoadTemplateButton(), kIdLoadTemplateButton"},
    {"Label3", "MessageWindow::StatusLabel()"},
    {"Button1", "MessageWindow::SendButton(), kIdSendButton"},
    {"FormShow", "MessageWindow::FormShow"},
    {"Button1Click", "MessageWindow::Send"},
    {"sSpeedButton1Click", "MessageWindow::SaveTemplate"},
    {"sSpeedButton2Click", "MessageWindow::LoadTemplate"},
};

}  // namespace tarvenix
