#!/usr/bin/env python3
"""The content checker accepts the shipped content and refuses the mistakes it exists for."""

import os
import shutil
import sys

sys.dont_write_bytecode = True  # the build must not write into the source tree
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "demo"))

import build_content  # noqa: E402
import check_content  # noqa: E402

CONTENT = os.path.join(os.path.dirname(HERE), "content")


class CheckContent(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.content = os.path.join(self.tmp, "content")
        shutil.copytree(CONTENT, self.content, ignore=shutil.ignore_patterns("core", "dyncfg"))

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def problems(self):
        stage = os.path.join(self.tmp, "stage")
        found = build_content.stage(self.content, stage, build_content.demo_packages(self.content))
        if not found:
            check_content.check_packages(self.content, stage, found)
            defs, previews = check_content.check_packages(self.content, None, [])
            check_content.check_tutorial(defs, previews, found)
        return found

    def edit(self, rel, old, new):
        path = os.path.join(self.content, rel)
        with open(path) as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w") as f:
            f.write(text.replace(old, new))

    def test_shipped_content_passes(self):
        self.assertEqual(self.problems(), [])

    def test_refusals(self):
        cases = [
            ("char_vexa/char_vexa.txt", 'Name="top" Subcategory="clothes" ItemCount="0"',
             'Name="top" Subcategory="clothes" ItemCount="3"', "numbering would shift"),
            ("char_vexa/char_vexa.txt", 'Name="boots_under" Subcategory="hidden"',
             'Name="boots_under" Subcategory="clothes"', "only read for categories of the last list"),
            ("vexa_city/vexa_city.txt", 'Rect="493 425 204 408, 493 425 204 408"', 'Rect="493 425 204 408"',
             "1 rectangles for 2 items"),
            ("char_vimo/char_vimo.txt", 'Width="816" Height="1020"', 'Width="480" Height="600"',
             "Dimensions 480x600, but the pictures are rendered at 816x1020"),
            ("vexa_castle/vexa_castle.txt", 'Rect="493 425 204 408"', 'Rect="290 250 120 240"',
             "is not the picture's size 204x408"),
            ("season_logo/season_logo.txt", 'Rect="663 34 119 119"', 'Rect="700 34 119 119"',
             "reaches past the set's 816x1020"),
            ("char_vexa/char_vexa.txt", 'Name="glasses" Subcategory="extras" ItemCount="2"',
             'Name="glasses" Subcategory="extras" ItemCount="3"', "item 3 has no picture"),
            ("char_vexa/char_vexa.txt", 'Name="cheeks" Subcategory="face"', 'Name="cheeks" Subcategory="hidden"',
             "tutorial expects \"background\" on grid page 15"),
            ("vexa_castle_prev/preview.txt", 'Font="font.ttf" ', '', "needs Font and FontSize"),
            ("char_vuro/char_vuro.txt", ' DefaultColor="60 40 30"', '', "[hair]: a colourable layer of a playable set needs"),
            ("char_vimo/char_vimo.txt", 'DefaultColor="230 60 90"', 'DefaultColor="230 60 290"',
             "DefaultColor \"230 60 290\" is not three numbers 0..255"),
        ]
        for rel, old, new, expected in cases:
            with self.subTest(expected):
                self.tearDown()
                self.setUp()
                self.edit(rel, old, new)
                found = self.problems()
                self.assertTrue(any(expected in p for p in found), found)


if __name__ == "__main__":
    unittest.main()
