#include "app/AppState.h"

AppState::AppState() {}
