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
  gui/GUIListBoxTest.cpp
  gui/GUIVerticalContainerTest.cpp
  gui/GUIFrameTest.cpp
  gui/GUIListLoadersTest.cpp
  gui/GUIGallery2Test.cpp
)
list(APPEND VN_TEST_SOURCES
  gui/AsyncImageLoaderThreadedTest.cpp
  gui/GUIPopupTest.cpp
  gui/GUIColorPickerTest.cpp
  gui/GUISettingsTest.cpp
  gui/GUIGallery3Test.cpp
)
