// The process panel.
#include "app/main_window.h"

namespace tarvenix {

void MainWindow::N2Click() {}
void MainWindow::BtnGetAllClick() {}
void MainWindow::sSpeedButton1Click() {}
void MainWindow::Button3Click() {}
void MainWindow::M2Click() {}
bool MainWindow::ListProcesses(ReportList&) { return false; }

}  // namespace tarvenix
