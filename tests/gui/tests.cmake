list(APPEND VN_TEST_SOURCES
  gui/GUIElementTest.cpp
  gui/GUIScreenManagerTest.cpp
  gui/GUITextTest.cpp
  gui/GUIScreenLayerTest.cpp
  gui/GUILayoutFileTest.cpp
  gui/GUIButtonTest.cpp
  gui/GUIInputFieldTest.cpp
  gui/GUILayoutLoadersTest.cpp
  gui/GUIMessageBoxTest.cpp
  gui/GUIGalleryTest.cpp
)
list(APPEND VN_TEST_SOURCES
  gui/AsyncImageLoaderThreadedTest.cpp
  gui/GUIPopupTest.cpp
  gui/GUIColorPickerTest.cpp
  gui/GUISettingsTest.cpp
  gui/GUIGallery3Test.cpp
)
