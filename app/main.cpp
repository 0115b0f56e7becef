#include "app/frame.h"
#include "ui/main/main_window.h"

int main(int argc, char** argv) { return frame::Run(argc, argv, ui::MainWindowDefinition()); }
