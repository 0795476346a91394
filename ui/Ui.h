// The window layer in one include: application, forms, panels, labels, progress bar, image,
// shape, scroll box, timer, fonts and layout.
#pragma once
#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/Font.h"
#include "ui/Form.h"
#include "ui/Image.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/Layout.h"
#include "ui/Menus.h"
#include "ui/Panel.h"
#include "ui/ProgressBar.h"
#include "ui/ScrollBox.h"
#include "ui/Shape.h"
#include "ui/Timer.h"
#include "ui/Types.h"
