#pragma once

// Makes sure the compiled-in pages and pictures are registered before the first page loads.
void InitPageResources();
