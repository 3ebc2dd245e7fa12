list(APPEND VN_TEST_SOURCES
  engine/ConfigFileTest.cpp
  engine/TextTableTest.cpp
  engine/UtilitiesTest.cpp
  engine/PictureBlendTest.cpp
  engine/ServicesTest.cpp
  engine/LogTest.cpp
  engine/AssetArchiveTest.cpp
  engine/ArchiveRegistryTest.cpp
  engine/ResourceCacheTest.cpp
  engine/SaveBufferTest.cpp
  engine/PlayerProfileTest.cpp
  engine/CoreTest.cpp
  engine/CorePackageTest.cpp
  engine/EngineBoundaryTest.cpp
  engine/TextWrapTest.cpp
)
