#include "AboutViewController.h"

#include "Output.h"

void AboutViewController::viewDidLoad()
{
    printLine(std::string_view("loaded"));
}
